#include "platform/malloc_arenas.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void limit_malloc_arenas() {
#if defined(__GLIBC__)
    // glibc reads MALLOC_ARENA_MAX itself; an operator's setting wins.
    if (std::getenv("MALLOC_ARENA_MAX") == nullptr) {
        mallopt(M_ARENA_MAX, 1);
    }
#endif
}

} // namespace platform
