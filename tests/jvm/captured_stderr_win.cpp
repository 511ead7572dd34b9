#include "captured_stderr.h"

#include <windows.h>

#include "test_support.h"

namespace orvo_test {

captured_stderr::captured_stderr(const std::string& path) : path_(path) {
    saved_ = reinterpret_cast<long long>(GetStdHandle(STD_ERROR_HANDLE));
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    file_ = reinterpret_cast<long long>(file);
    SetStdHandle(STD_ERROR_HANDLE, file);
}

captured_stderr::~captured_stderr() {
    restore();
}

void captured_stderr::restore() {
    if (!capturing_) {
        return;
    }
    capturing_ = false;
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(saved_));
    CloseHandle(reinterpret_cast<HANDLE>(file_));
}

std::string captured_stderr::finish() {
    restore();
    return read_file(path_);
}

closed_stderr::closed_stderr() {
    saved_ = reinterpret_cast<long long>(GetStdHandle(STD_ERROR_HANDLE));
    SetStdHandle(STD_ERROR_HANDLE, INVALID_HANDLE_VALUE);
}

closed_stderr::~closed_stderr() {
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(saved_));
}

} // namespace orvo_test
