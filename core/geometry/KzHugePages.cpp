#include "KzHugePages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

void KzHugePages::Advise(const void* data, size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const uintptr_t page = uintptr_t(2) << 20;
    if (bytes < 4 * page)
        return;
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
