#include "host/diagnostics.h"

#include <atomic>
#include <cstdio>

namespace {

// Warnings may come from the update worker's thread.
std::atomic<HostWarningSink> g_sink = nullptr;

} // namespace

void SetHostWarningSink(HostWarningSink sink) { g_sink = sink; }

HostWarningSink CurrentHostWarningSink() { return g_sink.load(); }

void HostWarning(const std::string& line)
{
    if (HostWarningSink sink = g_sink.load()) {
        sink(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}
