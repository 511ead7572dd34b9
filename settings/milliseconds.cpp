#include "settings/milliseconds.h"

#include "settings/decimal_number.h"

bool read_milliseconds(const std::string& text, std::uint32_t& value) {
    std::uint64_t total = 0;
    if (!read_decimal(text, text.size(), max_milliseconds, total) || total == 0 ||
        total > max_milliseconds) {
        return false;
    }
    value = static_cast<std::uint32_t>(total);
    return true;
}
