#include "process/load_settings.h"

#include <exception>

#include "javahost/class_path.h"
#include "javahost/vm_options.h"
#include "platform/current_directory.h"
#include "platform/last_error.h"
#include "process/process_settings.h"
#include "settings/read_settings.h"

namespace {

std::optional<settings_failure> read_failure(const std::string& path, settings_record& record,
                                             settings_observer* observer) {
    settings_failure failure;
    try {
        read_settings(path, record, observer);
        return std::nullopt;
    } catch (const settings_file_error& error) {
        failure.what = settings_failure::kind::file;
        failure.reason = error.what();
        failure.code = error.system_code;
    } catch (const MXML::SyntaxException& error) {
        failure.what = settings_failure::kind::syntax;
        failure.syntax = error;
    } catch (const load_exception& error) {
        failure.what = settings_failure::kind::document;
        failure.document = error;
    } catch (const std::exception& error) {
        failure.reason = error.what();
    }
    return failure;
}

// Relative paths of the settings (logs, class path items, the JVM library, options the
// JVM resolves) and of the Java program itself are taken from here on as relative to the
// working directory.
std::optional<settings_failure> enter_working_directory(const std::string& path,
                                                        const settings_record& record) {
    const std::string directory = working_directory_path(path, record);
    if (directory.empty() || platform::change_directory(directory)) {
        return std::nullopt;
    }
    settings_failure failure;
    failure.what = settings_failure::kind::working_directory;
    failure.code = platform::last_error();
    failure.reason = platform::error_text(failure.code);
    return failure;
}

} // namespace

void load_settings(const std::string& path, settings_record& record) {
    read_settings(path, record);
    add_class_path_option(record);
}

process_load load_process_settings(const std::string& path, settings_record& record,
                                   settings_observer* observer) {
    process_load load;
    load.failure = read_failure(path, record, observer);
    if (!load.failure) {
        load.failure = enter_working_directory(path, record);
    }
    if (load.failure) {
        return load;
    }
    try {
        add_class_path_option(record);
        load.env_values = apply_env(record);
    } catch (const std::exception& error) {
        load.failure = settings_failure{settings_failure::kind::other, error.what(), 0, {}, {}};
    }
    return load;
}

std::optional<settings_failure> unpassable_option(const settings_record& record) {
    std::list<std::string> texts;
    std::string problem;
    if (vm_option_texts(record.options, texts, problem)) {
        return std::nullopt;
    }
    return settings_failure{settings_failure::kind::vm_option, problem, 0, {}, {}};
}
