// The settings reader's fuzzing oracle, shared by the libFuzzer target and the replay of
// the kept inputs (which runs in every build's tests, the Windows one under Wine too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads the file at `path`, whose content is data[0, size), as the service does and from
// memory in pieces of several sizes, then takes out of it each part that orvo-check's
// warnings call ignored; aborts with a description when two reads disagree, when taking
// out an ignored part changes the record, or when anything but a settings exception
// escapes.
void check_settings_input(const std::string& path, const std::uint8_t* data, std::size_t size);
