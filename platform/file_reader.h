// A file read from its start, for the settings file: opened so that the reason it cannot
// be read is the system's own, captured where the call failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Why a file could not be opened or read: the system's code (0 for a reason of orvo's own)
// and its words, without a final period.
struct read_failure {
    std::uint32_t code = 0;
    std::string reason;
};

class file_reader {
  public:
    file_reader() = default;
    ~file_reader();
    file_reader(const file_reader&) = delete;
    file_reader& operator=(const file_reader&) = delete;

    // Opens `path` for reading, without denying others read or write access. False, with
    // `failure` filled, for a path that names nothing, may not be read, is a folder, or is a
    // named pipe (which would be waited on).
    bool open(const std::string& path, read_failure& failure);

    // Reads up to `size` bytes into `buffer`: the count read, 0 at the end of the file, -1
    // with `failure` filled when the read failed.
    std::ptrdiff_t read(char* buffer, std::size_t size, read_failure& failure);

  private:
    std::intptr_t handle_ = -1;
};

} // namespace platform
