#include "settings/milliseconds.h"

bool read_milliseconds(const std::string& text, std::uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    std::uint64_t total = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        // Stops before the sum can overflow, however many digits follow.
        total = total * 10 + static_cast<std::uint64_t>(c - '0');
        if (total > max_milliseconds) {
            return false;
        }
    }
    if (total == 0) {
        return false;
    }
    value = static_cast<std::uint32_t>(total);
    return true;
}
