// The settings reader's fuzzing oracle, shared by the libFuzzer target and the replay of
// the kept inputs (which runs in every build's tests, the Windows one under Wine too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Loads the file at `path`, whose content is data[0, size), in chunks as the service does
// and in one piece, and aborts with a description when the two loads disagree or
// anything but a settings exception escapes.
void check_settings_input(const std::string& path, const std::uint8_t* data, std::size_t size);
