#include "tools/orvo_check/record_report.h"

#include <nlohmann/json.hpp>

#include "javahost/java_vm.h"
#include "tools/settings_check/jvm_report.h"

namespace {

using json = nlohmann::ordered_json;

std::string dump(const json& object) {
    // Names from a directory listing need not be UTF-8; the output must still be JSON.
    return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

json start_method_json(const start_check_result& result) {
    if (!result.start_found) {
        return nullptr;
    }
    return result.start_takes_parameters ? "([Ljava/lang/String;)V" : "()V";
}

const char* result_name(int created) {
    switch (created) {
    case create_ok:
        return "created";
    case create_no_library:
        return "no_library";
    case create_no_entry_point:
        return "no_entry_point";
    case create_bad_option:
        return "bad_option";
    default:
        return "vm_failed";
    }
}

template <typename Number>
void print_number(std::ostream& out, const char* title, const std::optional<Number>& number) {
    out << title << ": ";
    if (number) {
        out << *number << '\n';
    } else {
        out << "(none)\n";
    }
}

template <typename Number> json number_json(const std::optional<Number>& number) {
    return number ? json(*number) : json(nullptr);
}

// Settings that name no rotation are shown as they were before rotation existed.
bool shows_rotation(const settings_record& record) {
    return record.max_size || record.daily || record.max_files;
}

void print_rotation(std::ostream& out, const settings_record& record) {
    if (shows_rotation(record)) {
        print_number(out, "max_size", record.max_size);
        out << "daily: " << (record.daily ? "true" : "false") << '\n';
        print_number(out, "max_files", record.max_files);
    }
}

void print_list(std::ostream& out, const char* title, const std::list<std::string>& entries) {
    out << title << " (" << entries.size() << "):\n";
    std::size_t index = 0;
    for (const std::string& entry : entries) {
        out << "  [" << index++ << "] " << visible(entry) << '\n';
    }
}

// The value that env element `index` was set to; as written where it is not known.
const std::string& env_value(const env_variable& variable, std::size_t index,
                             const std::vector<std::string>& env_values) {
    return index < env_values.size() ? env_values[index] : variable.value;
}

void print_env(std::ostream& out, const settings_record& record,
               const std::vector<std::string>& env_values) {
    out << "env (" << record.env.size() << "):\n";
    std::size_t index = 0;
    for (const env_variable& variable : record.env) {
        const std::string& value = env_value(variable, index, env_values);
        out << "  [" << index++ << "] " << visible(variable.name) << '=' << visible(value);
        if (value != variable.value) {
            out << " (as written: " << visible(variable.value) << ')';
        }
        out << '\n';
    }
}

} // namespace

void print_record(std::ostream& out, const settings_record& record,
                  const std::vector<std::string>& env_values) {
    out << "stdout: " << visible(stdout_log(record)) << '\n'
        << "stderr: " << visible(stderr_log(record)) << '\n';
    print_rotation(out, record);
    out << "dll_path: " << visible(record.dll_path) << '\n'
        << "class_path: " << visible(record.class_path) << '\n'
        << "class_name: " << visible(record.class_name) << '\n'
        << "start_method: " << visible(record.start_method) << '\n'
        << "stop_method: " << visible(record.stop_method) << '\n';
    print_list(out, "options", record.options);
    print_list(out, "start_method_params", record.start_method_params);
    print_number(out, "start_timeout", record.start_timeout);
    print_number(out, "stop_timeout", record.stop_timeout);
    out << "working_directory: "
        << (record.working_directory.empty() ? std::string("(none)")
                                             : visible(record.working_directory))
        << '\n';
    print_env(out, record, env_values);
}

void print_start_check(std::ostream& out, const settings_record& record,
                       const start_check_result& result) {
    if (result.created != create_ok) {
        return;
    }
    out << "jvm: created\n";
    if (result.class_found) {
        out << "class: " << visible(record.class_name) << '\n';
    }
    if (result.start_found && result.start_takes_parameters) {
        out << "start: " << visible(record.start_method) << "([Ljava/lang/String;)V with "
            << result.parameter_count
            << (result.parameter_count == 1 ? " parameter\n" : " parameters\n");
    } else if (result.start_found) {
        out << "start: " << visible(record.start_method) << "()V\n";
    }
    if (result.stop_found) {
        out << "stop: " << visible(record.stop_method) << "()V\n";
    }
}

std::string record_json(const settings_record& record, const std::vector<std::string>& env_values) {
    json object;
    object["stdout"] = stdout_log(record);
    object["stderr"] = stderr_log(record);
    if (shows_rotation(record)) {
        object["max_size"] = number_json(record.max_size);
        object["daily"] = record.daily;
        object["max_files"] = number_json(record.max_files);
    }
    object["dll_path"] = record.dll_path;
    object["class_path"] = record.class_path;
    object["class_name"] = record.class_name;
    object["start_method"] = record.start_method;
    object["stop_method"] = record.stop_method;
    object["options"] = record.options;
    object["start_method_params"] = record.start_method_params;
    object["start_timeout"] = number_json(record.start_timeout);
    object["stop_timeout"] = number_json(record.stop_timeout);
    object["working_directory"] =
        record.working_directory.empty() ? json(nullptr) : json(record.working_directory);
    object["env"] = json::array();
    std::size_t index = 0;
    for (const env_variable& variable : record.env) {
        object["env"].push_back({{"name", variable.name},
                                 {"value", variable.value},
                                 {"expanded", env_value(variable, index++, env_values)}});
    }
    return dump(object);
}

std::string record_with_jvm_json(const settings_record& record, const start_check_result& result,
                                 const std::vector<std::string>& env_values) {
    json jvm;
    jvm["passed"] = result.passed();
    jvm["result"] = result_name(result.created);
    jvm["class_found"] = result.class_found;
    jvm["start_method"] = start_method_json(result);
    jvm["parameter_count"] = result.parameter_count;
    jvm["stop_found"] = result.stop_found;
    jvm["load_failure"] =
        result.created == create_no_library
            ? load_diagnosis_json(diagnose_load_failure(record.dll_path, result.load_error))
            : json(nullptr);
    // The record's own fields, whatever record_json holds, then this one.
    json document = json::parse(record_json(record, env_values));
    document["jvm"] = jvm;
    return dump(document);
}
