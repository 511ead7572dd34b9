// Log files on POSIX systems.
#include "platform/log_files.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::uint32_t current_errno() {
    return static_cast<std::uint32_t>(errno);
}

// errno as it was before a call that reports its own failure as a value.
class errno_kept {
  public:
    errno_kept() : saved_(errno) {}
    ~errno_kept() { errno = saved_; }
    errno_kept(const errno_kept&) = delete;
    errno_kept& operator=(const errno_kept&) = delete;

  private:
    int saved_;
};

} // namespace

std::uint32_t rename_file(const std::string& from, const std::string& to) {
    const errno_kept kept;
    // RENAME_NOREPLACE: never takes the name of a file that has it already. A file system
    // that cannot promise it (NFS) gets the check and the rename as two steps.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return current_errno();
    }
    if (access(to.c_str(), F_OK) == 0) {
        return EEXIST;
    }
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : current_errno();
}

std::uint32_t remove_file(const std::string& path) {
    const errno_kept kept;
    return unlink(path.c_str()) == 0 ? 0 : current_errno();
}

bool file_size(file_handle file, std::uint64_t& size) {
    const errno_kept kept;
    struct stat status {};
    if (fstat(static_cast<int>(file), &status) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool is_disk_file(file_handle file) {
    const errno_kept kept;
    struct stat status {};
    return fstat(static_cast<int>(file), &status) == 0 && S_ISREG(status.st_mode);
}

bool file_deleted(file_handle file) {
    const errno_kept kept;
    struct stat status {};
    return fstat(static_cast<int>(file), &status) == 0 && status.st_nlink == 0;
}

std::uint32_t deleted_file_error() {
    return ENOENT;
}

std::size_t write_file(file_handle file, const char* data, std::size_t size, std::uint32_t& error) {
    const errno_kept kept;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(static_cast<int>(file), data + done, size - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? current_errno() : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    return done;
}

void close_file(file_handle file) {
    const errno_kept kept;
    close(static_cast<int>(file));
}

} // namespace platform
