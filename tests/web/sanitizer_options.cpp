// Built into the web tests only under the sanitizers. The browser engine is a prebuilt
// library that the sanitizers see from the outside: it deletes some of its own objects
// through a base of another size (a pattern of its allocator) and keeps process-lifetime
// objects it never frees. Neither is ours to fix, so exactly those two checks are relaxed
// for the engine, here rather than in the project-wide settings.

extern "C" {

__attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    // libudev's objects are held by the engine's device monitor.
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libudev.so\n";
}

} // extern "C"
