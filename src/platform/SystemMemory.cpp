#include "platform/SystemMemory.h"

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
