// Restart: started by the program's start at login. It waits for the desktop's
// notification area and the network, then starts the program with "-restart" (widget and
// tray, main window hidden) from its own folder.

#include "host/host_utils.h"
#include "host/paths.h"
#include "host/services_posix.h"
#include "host/text_codec.h"
#include "restarter/restarter.h"
#include "update/update_log.h"
#include "updater/install_layout.h"
#include "updater/program_process.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdlib>

namespace {

constexpr int kBoundMs = 120000;
constexpr int kPollMs = 500;

class SystemDesktopProbe final : public IDesktopProbe
{
public:
    bool TrayAvailable() override { return QSystemTrayIcon::isSystemTrayAvailable(); }
    bool NetworkUp() override { return AnyNetworkInterfaceUp(); }
    void Pause(int ms) override
    {
        PauseMs(ms);
        QCoreApplication::processEvents();
    }
};

class NoDisplayProbe final : public IDesktopProbe
{
public:
    bool TrayAvailable() override { return false; }
    bool NetworkUp() override { return AnyNetworkInterfaceUp(); }
    void Pause(int ms) override { PauseMs(ms); }
};

bool HaveDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
           std::getenv("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string exePath = WideToUtf8(ReadExecutablePath());
    const std::string programDir = WideToUtf8(GetProgramDir());
    const InstallLayout layout{programDir};
    const auto log = [&layout](const std::string& line) {
        if (!layout.programDir.empty())
            LogUpdateLine(layout.programDir, "Restart", line);
    };

    DesktopWait wait;
    if (HaveDisplay()) {
        QApplication app(argc, argv);
        SystemDesktopProbe probe;
        wait = WaitForDesktop(probe, kBoundMs, kPollMs);
    } else {
        // Without a display Qt cannot start at all; only the network is worth waiting for.
        NoDisplayProbe probe;
        wait = WaitForDesktop(probe, kBoundMs, kPollMs);
        log("no display");
    }
    if (!wait.Ready())
        log(DescribeMissing(wait));

    const auto slash = exePath.rfind('/');
    const std::string program =
        exePath.substr(0, slash == std::string::npos ? 0 : slash + 1) + WideToUtf8(kProgramExeName);
    log("cannot start the program: " + ReplaceProcessWith(program, {"-restart"}));
    return 1;
}
