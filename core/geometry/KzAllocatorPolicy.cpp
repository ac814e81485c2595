#include "KzAllocatorPolicy.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Compiling a large model's display lists makes Mesa allocate and free blocks
// of a few hundred kB to a few MB per list; by default glibc maps each afresh
// and trims the heap after it, so every list pays for new zeroed pages. Kept
// on the heap and reused, opening a model is faster.
void KzAllocatorPolicy::Apply()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}
