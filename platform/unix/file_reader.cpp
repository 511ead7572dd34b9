// The settings file read with open() and read().
#include "platform/file_reader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

namespace {

read_failure failure_of(int error) {
    return {static_cast<std::uint32_t>(error), error_text(static_cast<std::uint32_t>(error))};
}

} // namespace

file_reader::~file_reader() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
    }
}

bool file_reader::open(const std::string& path, read_failure& failure) {
    // Without O_NONBLOCK a named pipe would hold the open until something writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure = failure_of(errno);
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) || S_ISFIFO(status.st_mode)) {
        const int error = errno;
        ::close(fd);
        if (S_ISFIFO(status.st_mode)) {
            failure = {0, "it is a named pipe, which is not waited on"};
        } else {
            failure = failure_of(S_ISDIR(status.st_mode) ? EISDIR : error);
        }
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = fd;
    return true;
}

std::ptrdiff_t file_reader::read(char* buffer, std::size_t size, read_failure& failure) {
    for (;;) {
        const ssize_t count = ::read(static_cast<int>(handle_), buffer, size);
        if (count >= 0) {
            return count;
        }
        if (errno != EINTR) {
            failure = failure_of(errno);
            return -1;
        }
    }
}

} // namespace platform
