#include "platform/malloc_arenas.h"

namespace platform {

// The Windows heap has no per-thread arenas to limit.
void limit_malloc_arenas() {}

} // namespace platform
