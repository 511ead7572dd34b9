// libFuzzer target for the settings reader: each input goes through
// check_settings_input(). A sanitizer report or an abort from the check is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/settings_reader_check.h"

namespace {

// load_settings() takes a path. An anonymous in-memory file, reopened through /proc, gives
// it one without touching the disk or leaving files behind after a crash.
class memory_file {
  public:
    memory_file() : fd_(memfd_create("orvo-fuzz-settings", 0)) {
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    const std::string& hold(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0 ||
            (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("writing the input");
            std::abort();
        }
        return path_;
    }

  private:
    int fd_;
    std::string path_;
};

} // namespace

// UBSan reports must end the run like ASan's do, or the fuzzer would not keep the input.
extern "C" const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static memory_file file;
    check_settings_input(file.hold(data, size), data, size);
    return 0;
}
