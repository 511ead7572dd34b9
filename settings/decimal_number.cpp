#include "settings/decimal_number.h"

#include <algorithm>

bool read_decimal(const std::string& text, std::size_t count, std::uint64_t limit,
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
