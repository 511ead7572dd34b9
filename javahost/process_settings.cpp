#include "javahost/process_settings.h"

#include "platform/current_directory.h"
#include "platform/environment.h"
#include "platform/file_status.h"
#include "settings/load_settings.h"
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

bool set_up_process(const std::string& settings_path, settings_record& record,
                    std::vector<std::string>* env_values) {
    const std::string directory = working_directory_path(settings_path, record);
    if (!directory.empty() && !platform::change_directory(directory)) {
        return false;
    }
    add_class_path_option(record);
    std::vector<std::string> values = apply_env(record);
    if (env_values != nullptr) {
        *env_values = std::move(values);
    }
    return true;
}
