#include "update/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

void PrefaultForWriting(void* bytes, std::size_t size)
{
#ifdef MADV_POPULATE_WRITE
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    // Only the whole pages inside the range: madvise takes page boundaries.
    const auto begin = reinterpret_cast<std::uintptr_t>(bytes);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t last = (begin + size) & ~(page - 1);
    // Kernels before 5.14 refuse the advice; the pages then fault in as they are written.
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)bytes;
    (void)size;
#endif
}
