// Where the Java program runs: the working directory and the environment variables that
// the settings' process elements give. The service applies them to its own process right
// after reading the settings, before anything relative is resolved and before the Java
// VM is created, which inherits both; orvo-check and orvo-service do the same to theirs.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"

// The folder that record.working_directory names for the settings file at
// `settings_path`: as written when absolute, else inside the settings file's folder (so
// "." is that folder). Empty when the settings name none.
std::string working_directory_path(const std::string& settings_path, const settings_record& record);

// Sets the variables of record.env in the process's environment, in document order, each
// value with its references expanded in the environment as it is at that moment: a
// variable may build on one set before it, and "${PATH}" extends what the process was
// given. The values as set, in the same order (empty for a variable removed).
std::vector<std::string> apply_env(const settings_record& record);
