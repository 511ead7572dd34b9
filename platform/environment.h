// The process's environment variables.
#pragma once

#include <string>

namespace platform {

// The value of `name` in UTF-8, as the settings' values are written; empty when the
// variable is not set.
std::string environment_value_utf8(const std::string& name);

// Sets `name` to `value` (both UTF-8); an empty value removes the variable. The change
// reaches every reader in the process: the system's own environment block, and on Windows
// also the copy that the Universal C runtime (ucrtbase.dll) keeps of it, which a Java VM
// of JDK 11 and later reads while it is created (JAVA_TOOL_OPTIONS) and which, once
// loaded, would not see a change of the block. A C runtime loaded later takes the block as
// it then is. Failures are not reported: a name the system refuses leaves things as they
// were.
void set_environment_value_utf8(const std::string& name, const std::string& value);

} // namespace platform
