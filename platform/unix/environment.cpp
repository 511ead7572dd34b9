// The environment on POSIX systems: the C library's, which the Java VM reads as well.
#include "platform/environment.h"

#include <cstdlib>

namespace platform {

std::string environment_value_utf8(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? value : std::string();
}

void set_environment_value_utf8(const std::string& name, const std::string& value) {
    if (value.empty()) {
        unsetenv(name.c_str());
    } else {
        setenv(name.c_str(), value.c_str(), 1);
    }
}

} // namespace platform
