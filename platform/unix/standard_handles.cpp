// Standard output and error on POSIX systems: descriptors 1 and 2.
#include "platform/standard_handles.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

namespace {

int descriptor_of(standard_stream stream) {
    return stream == standard_stream::output ? STDOUT_FILENO : STDERR_FILENO;
}

// The descriptor that each of standard output and error was last copied from, or -1. It
// stays open, so that the caller can still compare a path with it (names_open_file), until
// the stream is given another file; then it is closed, unless the other stream holds it
// too, so that a log reopened after it was renamed is not kept open for ever.
int copied_from[2] = {-1, -1};

void note_copied_from(standard_stream stream, int file) {
    const int index = stream == standard_stream::output ? 0 : 1;
    const int previous = copied_from[index];
    copied_from[index] = file;
    // Descriptors 0 to 2 are standard ones in their own right, never spare copies.
    if (previous > STDERR_FILENO && previous != file && previous != copied_from[1 - index]) {
        close(previous);
    }
}

void install(int target, file_handle file) {
    if (file == target) {
        // dup2 onto itself would leave the descriptor closed on exec.
        fcntl(target, F_SETFD, 0);
        return;
    }
    if (file != invalid_file_handle) {
        // One step for every writer: each write goes to the old file or to the new one.
        dup2(static_cast<int>(file), target);
        return;
    }
    // The output is to be lost. A closed descriptor 1 or 2 would be handed to the next
    // file the process opens, which would then receive it.
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        dup2(nowhere, target);
        close(nowhere);
    }
}

} // namespace

file_handle open_log_file(const std::string& path) {
    // O_APPEND keeps every write at the end, however many threads write at once. The
    // descriptor itself is not inherited; its copy as descriptor 1 or 2 is. O_NONBLOCK keeps
    // the open from waiting for a reader of a named pipe, which would hold the start for
    // ever: such a log cannot be opened. Writes then block again, so that nothing written
    // is dropped because a reader is slow.
    const int file =
        open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (file < 0) {
        set_last_error(static_cast<std::uint32_t>(errno));
        return invalid_file_handle;
    }
    fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK);
    return file;
}

void move_to_end(file_handle file) {
    lseek(static_cast<int>(file), 0, SEEK_END);
}

bool names_open_file(const std::string& path, file_handle file) {
    struct stat named {};
    struct stat open_file {};
    return file != invalid_file_handle && stat(path.c_str(), &named) == 0 &&
           fstat(static_cast<int>(file), &open_file) == 0 && named.st_dev == open_file.st_dev &&
           named.st_ino == open_file.st_ino;
}

void set_standard_handle(standard_stream stream, file_handle file) {
    install(descriptor_of(stream), file);
    note_copied_from(stream, static_cast<int>(file));
}

file_handle standard_handle(standard_stream stream) {
    return descriptor_of(stream);
}

} // namespace platform
