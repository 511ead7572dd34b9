// Standard error on POSIX systems: descriptor 2, whatever it points at now.
#include "platform/standard_error.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

void write_standard_error(const char* data, std::size_t size) {
    const int saved_errno = errno;
    const ssize_t ignored = write(STDERR_FILENO, data, size);
    static_cast<void>(ignored);
    errno = saved_errno;
}

} // namespace platform
