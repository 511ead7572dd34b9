// Whole numbers as the settings file writes them: decimal digits, nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads the first `count` characters of `text` as a decimal number, cut off at limit + 1
// once it exceeds `limit`, so that no number of digits can overflow. False when there are
// none or one is not a digit.
bool read_decimal(const std::string& text, std::size_t count, std::uint64_t limit,
                  std::uint64_t& value);
