#ifndef KZALLOCATORPOLICY_H
#define KZALLOCATORPOLICY_H

#include "KzFunctionGlobal.h"

// The process-wide allocator settings the program runs with. Made once, at
// start, before anything large is allocated: by the program and by every
// benchmark, so that what a benchmark measures is what a user gets.
class KZFUNCTION_EXPORT KzAllocatorPolicy
{
public:
    static void Apply();
};

#endif // KZALLOCATORPOLICY_H
