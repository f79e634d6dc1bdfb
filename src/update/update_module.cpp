#include "update/update_module.h"

#include "update/update_worker.h"

#include <exception>

// The entry point's type is checked against the one the loader casts to. Nothing thrown
// inside the check may cross into the program, which knows nothing of this module's types
// and would end: a failed check is a warning, and the widget goes on.
extern "C" __attribute__((visibility("default"))) bool
TavroRunUpdateCheck(const std::atomic<bool>* cancel, HostWarningSink warnings)
{
    static_assert(std::is_same_v<decltype(&TavroRunUpdateCheck), UpdateCheckEntry>);
    SetHostWarningSink(warnings);
    try {
        const auto key = BuildUpdateKey();
        if (!key) {
            HostWarning("updates off: this build trusts no release key");
            return false;
        }
        HttpClient::GlobalInit();
        UpdateSettings settings = DefaultUpdateSettings(*key);
        settings.cancel = cancel;
        return RunUpdateCheck(settings) == UpdateOutcome::Ready;
    } catch (const std::exception& error) {
        HostWarning(std::string("the update check failed: ") + error.what());
    } catch (...) {
        HostWarning("the update check failed");
    }
    return false;
}
