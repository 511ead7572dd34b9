#include "captured_stderr.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "test_support.h"

namespace orvo_test {

captured_stderr::captured_stderr(const std::string& path) : path_(path) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    file_ = file;
    dup2(file, STDERR_FILENO);
    close(file); // descriptor 2 keeps the file open
}

captured_stderr::~captured_stderr() {
    restore();
}

void captured_stderr::restore() {
    if (!capturing_) {
        return;
    }
    capturing_ = false;
    std::fflush(stderr);
    dup2(static_cast<int>(saved_), STDERR_FILENO);
    close(static_cast<int>(saved_));
}

std::string captured_stderr::finish() {
    restore();
    return read_file(path_);
}

closed_stderr::closed_stderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    close(STDERR_FILENO);
}

closed_stderr::~closed_stderr() {
    dup2(static_cast<int>(saved_), STDERR_FILENO);
    close(static_cast<int>(saved_));
}

} // namespace orvo_test
