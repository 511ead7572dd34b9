// Time limits as the settings file writes them: a whole number of milliseconds.
#pragma once

#include <cstdint>
#include <string>

// The largest time limit: what a signed 32-bit count of milliseconds holds (almost 25
// days), so that every consumer can add it to a clock or pass it on without overflow.
constexpr std::uint32_t max_milliseconds = 2147483647;

// Reads `text` as a whole number of milliseconds from 1 to max_milliseconds: decimal
// digits only, no sign, no white space; leading zeros are allowed ("0100" is 100).
// False for anything else, including the empty text.
bool read_milliseconds(const std::string& text, std::uint32_t& value);
