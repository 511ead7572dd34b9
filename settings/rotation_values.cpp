#include "settings/rotation_values.h"

#include <algorithm>

namespace {

// The first `count` characters of `text` as a decimal number, cut off at limit + 1 once it
// exceeds `limit`, so that no number of digits can overflow. False when there are none or
// one is not a digit.
bool read_digits(const std::string& text, std::size_t count, std::uint64_t limit,
                 std::uint64_t& value) {
    if (count == 0) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = std::min(value * 10 + static_cast<std::uint64_t>(c - '0'), limit + 1);
    }
    return true;
}

int unit_shift(char unit) {
    switch (unit) {
    case 'K':
        return 10;
    case 'M':
        return 20;
    case 'G':
        return 30;
    default:
        return -1;
    }
}

} // namespace

bool read_log_size(const std::string& text, std::uint64_t& bytes) {
    if (text.empty()) {
        return false;
    }
    const int shift = unit_shift(text.back());
    const int scale = shift < 0 ? 0 : shift;
    std::uint64_t value = 0;
    if (!read_digits(text, shift < 0 ? text.size() : text.size() - 1, max_log_size, value) ||
        value > (max_log_size >> scale) || (value << scale) < min_log_size) {
        return false;
    }
    bytes = value << scale;
    return true;
}

bool read_rotated_file_count(const std::string& text, std::uint32_t& count) {
    std::uint64_t value = 0;
    if (!read_digits(text, text.size(), max_rotated_files, value) || value == 0 ||
        value > max_rotated_files) {
        return false;
    }
    count = static_cast<std::uint32_t>(value);
    return true;
}

bool read_flag(const std::string& text, bool& flag) {
    if (text != "true" && text != "false") {
        return false;
    }
    flag = text == "true";
    return true;
}
