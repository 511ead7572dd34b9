// The rotation attributes of "log" as the settings file writes them.
#pragma once

#include <cstdint>
#include <string>

// The bounds of max_size: 1K and 1024G.
constexpr std::uint64_t min_log_size = 1024;
constexpr std::uint64_t max_log_size = std::uint64_t{1024} << 30;

// The largest max_files.
constexpr std::uint32_t max_rotated_files = 10000;

// Reads `text` as a size in bytes from min_log_size to max_log_size: decimal digits,
// optionally followed by one of K, M and G (upper case: 1024, 1024 squared, 1024 cubed);
// leading zeros are allowed. False for anything else: a lower-case unit, a sign, white
// space, the empty text.
bool read_log_size(const std::string& text, std::uint64_t& bytes);

// Reads `text` as a count of rotated files from 1 to max_rotated_files: decimal digits
// only; leading zeros are allowed. False for anything else, the empty text included.
bool read_rotated_file_count(const std::string& text, std::uint32_t& count);

// Reads "true" or "false"; false for any other text, the empty one included.
bool read_flag(const std::string& text, bool& flag);
