// The last-error code on POSIX systems: a per-thread value that the platform layer sets
// where the Windows calls it stands in for would set theirs.
#include "platform/last_error.h"

#include <cstring>

namespace platform {

namespace {
thread_local std::uint32_t thread_last_error = 0;
thread_local const char* thread_error_words = nullptr; // null: an errno value
} // namespace

std::uint32_t last_error() {
    return thread_last_error;
}

void set_last_error(std::uint32_t code) {
    thread_last_error = code;
    thread_error_words = nullptr;
}

void set_last_error(std::uint32_t code, const char* words) {
    thread_last_error = code;
    thread_error_words = words;
}

std::string last_error_text() {
    return thread_error_words != nullptr ? thread_error_words : error_text(thread_last_error);
}

std::string error_text(std::uint32_t code) {
    char buffer[256];
    // The GNU strerror_r returns its text, which may not be in the buffer.
    return strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

std::uint32_t service_exit_code_for(std::uint32_t, std::uint32_t fallback) {
    return fallback; // errno values mean other things as Windows codes
}

} // namespace platform
