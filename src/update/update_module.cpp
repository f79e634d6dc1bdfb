#include "update/update_module.h"

#include "update/update_worker.h"

// The entry point's type is checked against the one the loader casts to.
extern "C" __attribute__((visibility("default"))) bool
TavroRunUpdateCheck(const std::atomic<bool>* cancel, HostWarningSink warnings)
{
    static_assert(std::is_same_v<decltype(&TavroRunUpdateCheck), UpdateCheckEntry>);
    SetHostWarningSink(warnings);
    const auto key = BuildUpdateKey();
    if (!key) {
        HostWarning("updates off: this build trusts no release key");
        return false;
    }
    HttpClient::GlobalInit();
    UpdateSettings settings = DefaultUpdateSettings(*key);
    settings.cancel = cancel;
    return RunUpdateCheck(settings) == UpdateOutcome::Ready;
}
