#ifndef KZHUGEPAGES_H
#define KZHUGEPAGES_H

#include <cstddef>

// Asks the kernel to back a large, freshly reserved buffer with huge pages:
// filling tens of megabytes then takes hundreds of page faults instead of
// tens of thousands. Only a hint; small buffers and other systems are left alone.
class KzHugePages
{
public:
    static void Advise(const void* data, size_t bytes);
};

#endif // KZHUGEPAGES_H
