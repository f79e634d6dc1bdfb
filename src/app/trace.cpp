#include "app/trace.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

std::FILE* TraceFile()
{
    static std::FILE* file = [] {
        const char* path = std::getenv("TAVRO_TRACE");
        return path && *path ? std::fopen(path, "a") : nullptr;
    }();
    return file;
}

} // namespace

void Trace(const std::string& line)
{
    if (std::FILE* file = TraceFile()) {
        std::fprintf(file, "%d %s\n", static_cast<int>(::getpid()), line.c_str());
        std::fflush(file);
    }
}
