// Update: installs the update the program staged, then starts the program again.

#include "app/command_line.h"
#include "host/host_utils.h"
#include "host/paths.h"
#include "host/text_codec.h"
#include "update/update_log.h"
#include "updater/program_process.h"
#include "updater/updater.h"

#include <cstdlib>

namespace {

class SystemUpdaterHost final : public IUpdaterHost
{
public:
    explicit SystemUpdaterHost(std::string programExe) : m_programExe(std::move(programExe)) {}
    bool ProgramRunning() override { return IsExecutableRunning(m_programExe); }
    void Pause(int ms) override { PauseMs(ms); }
    std::string StartProgram() override
    {
        return ReplaceProcessWith(m_programExe,
                                  ArgumentsAfterHandOver(std::getenv(kHandOverSwitchVariable)));
    }

private:
    std::string m_programExe;
};

} // namespace

int main()
{
    const std::string programDir = WideToUtf8(GetProgramDir());
    if (programDir.empty())
        return 1;
    const InstallLayout layout{programDir};
    SystemUpdaterHost host(programDir + "/Release/" + WideToUtf8(kProgramExeName));
    return RunUpdater(SystemInstallFs(), layout, host, [&layout](const std::string& line) {
        LogUpdateLine(layout.programDir, "Update", line);
    });
}
