#include "update/update_worker_thread.h"

UpdateCheck ModuleUpdateCheck(std::string folder)
{
    return [folder = std::move(folder)](const std::atomic<bool>* cancel) {
        std::string error;
        const UpdateCheckEntry check = LoadUpdateModule(folder, &error);
        if (!check) {
            HostWarning("update: " + error);
            return false;
        }
        // The module's own copy of the host warnings goes where the program's goes.
        return !cancel->load() && check(cancel, CurrentHostWarningSink());
    };
}

void UpdateWorkerThread::Start(UpdateCheck check, std::function<void()> ready)
{
    if (m_thread.joinable() || !check)
        return;
    m_thread = std::thread([this, check = std::move(check), ready = std::move(ready)] {
        if (check(&m_cancel) && ready)
            ready();
    });
}

void UpdateWorkerThread::Stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}
