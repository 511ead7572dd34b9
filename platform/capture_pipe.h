// A pipe that a standard stream writes into and that orvo drains into a log file, where the
// Java VM keeps for ever the handles it found at its creation (Windows): the file behind
// the pipe can then change while the VM writes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/standard_handles.h"

namespace platform {

class capture_pipe {
  public:
    capture_pipe();
    ~capture_pipe();
    capture_pipe(const capture_pipe&) = delete;
    capture_pipe& operator=(const capture_pipe&) = delete;

    // Makes the pipe. Writers may put `buffer_size` bytes into it before a write waits for
    // the reader. False, with the last-error code set, when it cannot be made.
    bool open(std::uint32_t buffer_size);

    // The end to make a standard stream; it stays open as long as this object.
    file_handle write_end() const;

    enum class read_status {
        data,      // `data` and `size` hold what came, valid until the next call
        woken,     // wake() was called
        timed_out, // the time given passed
    };

    // Waits for what writers put into the pipe, for wake(), or for `timeout_ms`
    // (negative: no time limit). For one reader thread.
    read_status read(std::int64_t timeout_ms, const char*& data, std::size_t& size);

    // What is in the pipe already, without waiting: false when it is empty. For the
    // reader thread, to drain the pipe.
    bool read_ready(const char*& data, std::size_t& size);

    // Ends the reader's current or next wait; safe from any thread.
    void wake();

  private:
    struct state;
    std::unique_ptr<state> state_;
};

} // namespace platform
