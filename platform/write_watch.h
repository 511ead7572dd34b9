// Waiting for writes to open files, on systems where the program writes its log files
// itself (not Windows, where orvo writes them and needs no telling).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/standard_handles.h"

namespace platform {

// Tells a waiting thread of the next write to files it names, so that an idle log costs
// nothing and a busy one is looked at soon after it grows.
class write_watch {
  public:
    write_watch();
    ~write_watch();
    write_watch(const write_watch&) = delete;
    write_watch& operator=(const write_watch&) = delete;

    enum class woken_by { write, request, time };

    // Asks to be told of the next write to each of `files` (whichever files they are now).
    // Where writes cannot be watched (no inotify instance or watch left for this user),
    // wait() returns `write` every 100 ms, and the files are looked at that often.
    void arm(const std::vector<file_handle>& files);
    // Waits for a write to an armed file, for wake(), or until `timeout_ms` have passed
    // (negative: no time limit).
    woken_by wait(std::int64_t timeout_ms);
    // Ends the current or the next wait(); safe from any thread.
    void wake();

  private:
    int notify_ = -1;            // the inotify instance; -1 when there is none
    int requests_[2] = {-1, -1}; // wake()'s pipe
    bool watching_ = false;      // every armed file has a watch
    std::vector<int> watches_;   // the watches armed last
};

} // namespace platform
