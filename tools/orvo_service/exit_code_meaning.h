// What a service's last exit code means for orvo, and where orvo wrote the reason, for
// `orvo-service show` (docs/exit-codes.md says the same at length).
#pragma once

#include <cstdint>
#include <string>

struct exit_code_meaning {
    std::string meaning; // what went wrong, in orvo's terms; empty for 0
    std::string where;   // where the line that says why is: "the stderr log ...", ...
};

// The meaning of `code`, given the service's stderr log as the settings name it in full
// (empty when the settings cannot be read).
exit_code_meaning meaning_of_exit_code(std::uint32_t code, const std::string& stderr_log);
