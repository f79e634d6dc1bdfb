#include "update/update_module.h"

#include "update/update_worker.h"

// The entry point's type is checked against the one the loader casts to.
extern "C" __attribute__((visibility("default"))) bool
TavroRunUpdateCheck(const std::atomic<bool>* cancel, HostWarningSink warnings)
{
    static_assert(std::is_same_v<decltype(&TavroRunUpdateCheck), UpdateCheckEntry>);
    SetHostWarningSink(warnings);
    HttpClient::GlobalInit();
    UpdateSettings settings = DefaultUpdateSettings();
    settings.cancel = cancel;
    return RunUpdateCheck(settings) == UpdateOutcome::Ready;
}
