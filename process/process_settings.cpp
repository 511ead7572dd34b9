#include "process/process_settings.h"

#include "platform/environment.h"
#include "platform/file_status.h"
#include "settings/variable_expansion.h"

std::string working_directory_path(const std::string& settings_path,
                                   const settings_record& record) {
    if (record.working_directory.empty()) {
        return std::string();
    }
    return platform::resolved_in(platform::folder_of(settings_path), record.working_directory);
}

std::vector<std::string> apply_env(const settings_record& record) {
    std::vector<std::string> values;
    for (const env_variable& variable : record.env) {
        const std::string value =
            expand_variables(variable.value, platform::environment_value_utf8);
        platform::set_environment_value_utf8(variable.name, value);
        values.push_back(value);
    }
    return values;
}
