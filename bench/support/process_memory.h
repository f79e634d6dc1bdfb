#pragma once

// This process's resident memory, for the benchmarks' memory counters.

#include <fstream>
#include <unistd.h>

inline long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
