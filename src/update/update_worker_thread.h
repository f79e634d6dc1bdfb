#pragma once

// The worker's thread, which is all the program itself links of the update check: the
// check lives in the update module (update_module.h), which the thread loads first.

#include "update/update_module.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// One run of a check, stopping early once `cancel` is set; true when an update is ready.
using UpdateCheck = std::function<bool(const std::atomic<bool>* cancel)>;

// Loads the update module from `folder` and answers its entry point, or null with the
// reason in `error`. The module stays loaded for the rest of the process.
UpdateCheckEntry LoadUpdateModule(const std::string& folder, std::string* error);

// The program's check: loads the module from `folder` when it runs, then runs the module's
// check. A module that cannot be loaded is a warning, and no update this time.
UpdateCheck ModuleUpdateCheck(std::string folder);

// At most one run per object; destroying the object (or Stop) asks a running check to end
// and waits for it, which takes at most about a second because the HTTP library's progress
// callback looks at the flag while a transfer runs.
class UpdateWorkerThread
{
public:
    UpdateWorkerThread() = default;
    ~UpdateWorkerThread() { Stop(); }
    UpdateWorkerThread(const UpdateWorkerThread&) = delete;
    UpdateWorkerThread& operator=(const UpdateWorkerThread&) = delete;

    // Runs `check` on the worker's thread and calls `ready` there when it answers true. A
    // second call does nothing.
    void Start(UpdateCheck check, std::function<void()> ready);
    void Stop();

private:
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;
};
