// Standard output set aside on POSIX systems: descriptor 1 copied, then made a copy of 2.
#include "platform/standard_output_aside.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/log_files.h"

namespace platform {

namespace {
int kept_output = STDOUT_FILENO;
}

void set_standard_output_aside() {
    const int copy = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) {
        kept_output = copy;
        dup2(STDERR_FILENO, STDOUT_FILENO);
    }
}

bool write_set_aside_output(const std::string& text) {
    std::uint32_t error = 0;
    return write_file(kept_output, text.data(), text.size(), error) == text.size();
}

} // namespace platform
