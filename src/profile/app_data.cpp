#include "profile/app_data.h"

namespace {

CTavroAppData g_defaultApp;
CTavroAppData* g_app = nullptr;

} // namespace

CTavroAppData& TheApp() { return g_app ? *g_app : g_defaultApp; }

void SetTheApp(CTavroAppData* app) { g_app = app; }
