// Reading the process's environment on Windows.
#pragma once

#include <string>

namespace platform {

// The value of the environment variable `name` as the process has it now; empty when it is
// not set.
std::string environment_value(const char* name);

} // namespace platform
