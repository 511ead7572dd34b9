// How the C library's allocator serves the process's threads.
#pragma once

namespace platform {

// Makes every thread allocate from the one main arena, unless the operator chose otherwise
// (MALLOC_ARENA_MAX). The Java VM is created on the service thread, not the first one;
// with glibc's default that thread gets an arena of its own that grows a page at a time,
// which makes the VM's creation measurably slower, and per-thread arenas are a known
// source of resident memory growing in long-running Java processes. Call it first in
// main, before any other thread exists. Does nothing where the allocator has no arenas.
void limit_malloc_arenas();

} // namespace platform
