#include "settings/rotation_values.h"

#include "settings/decimal_number.h"

namespace {

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
    if (!read_decimal(text, shift < 0 ? text.size() : text.size() - 1, max_log_size, value) ||
        value > (max_log_size >> scale) || (value << scale) < min_log_size) {
        return false;
    }
    bytes = value << scale;
    return true;
}

bool read_rotated_file_count(const std::string& text, std::uint32_t& count) {
    std::uint64_t value = 0;
    if (!read_decimal(text, text.size(), max_rotated_files, value) || value == 0 ||
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
