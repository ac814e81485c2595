#include "KzAllocatorPolicy.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Opening a large model allocates and frees blocks of a few hundred kB to a
// few MB again and again (a buffer's floats on their way in, Mesa's own
// copies); by default glibc maps each afresh and trims the heap after it, so
// every block pays for new zeroed pages. Kept on the heap and reused, they
// cost fewer page faults (bench/open: about 9 % fewer for a 2M-facet model).
void KzAllocatorPolicy::Apply()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}
