// Standard output set aside on POSIX systems: descriptor 1 copied, then made a copy of 2.
#include "platform/standard_output_aside.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

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
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = write(kept_output, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace platform
