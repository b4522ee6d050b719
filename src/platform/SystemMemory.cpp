#include "platform/SystemMemory.h"

// Any C library header defines __GLIBC__ when the library is glibc; without one the test below
// would always fail and the trim would silently never run.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace SystemMemory {

void returnFreedMemory()
{
#if defined(__GLIBC__)
    // glibc keeps freed pages of its per-thread arenas mapped; trimming releases them.
    malloc_trim(0);
#endif
}

} // namespace SystemMemory
