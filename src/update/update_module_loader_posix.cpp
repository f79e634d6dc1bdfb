#include "update/update_worker_thread.h"

#include <dlfcn.h>

UpdateCheckEntry LoadUpdateModule(const std::string& folder, std::string* error)
{
    const std::string path = folder + "/lib" + kUpdateModuleBaseName + ".so";
    // Never closed: the HTTP library keeps process-wide state that must not be unloaded.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error)
            *error = ::dlerror();
        return nullptr;
    }
    void* entry = ::dlsym(module, kUpdateCheckEntry);
    if (!entry) {
        if (error)
            *error = path + " has no " + kUpdateCheckEntry;
        return nullptr;
    }
    return reinterpret_cast<UpdateCheckEntry>(entry);
}
