#include "settings/settings_grammar.h"

#include "settings/milliseconds.h"
#include "settings/rotation_values.h"

namespace {

std::string text_of(const attribute_text& value) {
    return value.value_or(std::string());
}

// A time limit: none when the attribute is absent or empty.
bool usable_time_limit(const attribute_text& value) {
    std::uint32_t milliseconds = 0;
    return text_of(value).empty() || read_milliseconds(*value, milliseconds);
}

std::optional<std::uint32_t> time_limit(const attribute_text& value) {
    std::uint32_t milliseconds = 0;
    if (text_of(value).empty() || !read_milliseconds(*value, milliseconds)) {
        return std::nullopt;
    }
    return milliseconds;
}

// A rotation attribute: none when it is absent; a value written, even an empty one, must
// be one that `read` takes.
template <typename Value, bool (*read)(const std::string&, Value&)>
std::optional<Value> rotation_value(const attribute_text& value) {
    Value read_value{};
    if (!value || !read(*value, read_value)) {
        return std::nullopt;
    }
    return read_value;
}

template <typename Value, bool (*read)(const std::string&, Value&)>
bool usable_rotation_value(const attribute_text& value) {
    return !value || rotation_value<Value, read>(value).has_value();
}

constexpr auto log_size = rotation_value<std::uint64_t, read_log_size>;
constexpr auto usable_log_size = usable_rotation_value<std::uint64_t, read_log_size>;
constexpr auto flag = rotation_value<bool, read_flag>;
constexpr auto usable_flag = usable_rotation_value<bool, read_flag>;
constexpr auto file_count = rotation_value<std::uint32_t, read_rotated_file_count>;
constexpr auto usable_file_count = usable_rotation_value<std::uint32_t, read_rotated_file_count>;

// A name the system can hold: neither empty nor with "=", which separates name from value
// in the environment.
bool usable_variable_name(const attribute_text& value) {
    return !text_of(value).empty() && value->find('=') == std::string::npos;
}

const char time_limit_must[] = "be a whole number of milliseconds from 1 to 2147483647";
static_assert(max_milliseconds == 2147483647, "the time limits' error names the largest one");

} // namespace

const std::vector<attribute_rule>& attribute_rules() {
    // A later element replaces every field of the one before: an attribute it leaves out
    // empties its field.
    // clang-format off
    static const std::vector<attribute_rule> rules = {
        {"log", "stdout", value_role::log_path, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { stdout_log(r) = text_of(v); }},
        {"log", "stderr", value_role::log_path, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { stderr_log(r) = text_of(v); }},
        {"log", "max_size", value_role::log_rotation, false, usable_log_size,
         "be a size from 1K to 1024G: digits, optionally followed by K, M or G",
         [](settings_record& r, const attribute_text& v) { r.max_size = log_size(v); }},
        {"log", "daily", value_role::log_rotation, false, usable_flag, "be \"true\" or \"false\"",
         [](settings_record& r, const attribute_text& v) { r.daily = flag(v).value_or(false); }},
        {"log", "max_files", value_role::log_rotation, false, usable_file_count,
         "be a whole number from 1 to 10000",
         [](settings_record& r, const attribute_text& v) { r.max_files = file_count(v); }},
        {"jvm", "dll_path", value_role::library_path, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.dll_path = text_of(v); }},
        {"jvm", "class_path", value_role::class_path, false, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.class_path = text_of(v); }},
        {"server", "class", value_role::java_class, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.class_name = text_of(v); }},
        {"server", "start_method", value_role::java_method, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.start_method = text_of(v); }},
        {"server", "stop_method", value_role::java_method, true, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.stop_method = text_of(v); }},
        {"server", "start_timeout", value_role::time_limit, false, usable_time_limit, time_limit_must,
         [](settings_record& r, const attribute_text& v) { r.start_timeout = time_limit(v); }},
        {"server", "stop_timeout", value_role::time_limit, false, usable_time_limit, time_limit_must,
         [](settings_record& r, const attribute_text& v) { r.stop_timeout = time_limit(v); }},
        {"process", "working_directory", value_role::folder, false, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.working_directory = text_of(v); }},
        {"env", "name", value_role::variable_name, false, usable_variable_name,
         "name a variable, neither empty nor holding \"=\"",
         [](settings_record& r, const attribute_text& v) { r.env.back().name = text_of(v); }},
        {"env", "value", value_role::variable_value, false, nullptr, nullptr,
         [](settings_record& r, const attribute_text& v) { r.env.back().value = text_of(v); }},
    };
    // clang-format on
    return rules;
}

const std::vector<element_rule>& element_rules() {
    // clang-format off
    static const std::vector<element_rule> rules = {
        // name                 read in        opens                      begin, take_text, advice for text in it
        {"setting",            state_root,    state_setting,             nullptr, nullptr, "the settings go in its elements"},
        {"log",                state_setting, state_log,                 nullptr, nullptr, "give the log files as the attributes \"stdout\" and \"stderr\""},
        {"jvm",                state_setting, state_jvm,                 nullptr, nullptr, "write each JVM option in an \"option\" element"},
        {"option",             state_jvm,     state_option,              nullptr,
         [](settings_record& r, std::string text) { r.options.push_back(std::move(text)); }, nullptr},
        {"server",             state_setting, state_server,              nullptr, nullptr, "write each start parameter in a \"start_method_param\" element"},
        {"start_method_param", state_server,  state_start_method_param,  nullptr,
         [](settings_record& r, std::string text) { r.start_method_params.push_back(std::move(text)); }, nullptr},
        {"process",            state_setting, state_process,             nullptr, nullptr, "write each environment variable as an \"env\" element"},
        {"env",                state_process, state_process,
         [](settings_record& r) { r.env.emplace_back(); }, nullptr, "give the variable as the attributes \"name\" and \"value\""},
    };
    // clang-format on
    return rules;
}

const element_rule* element_taken_in(reader_state state, const std::string& name) {
    for (const element_rule& rule : element_rules()) {
        if (rule.read_in == state && name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

const element_rule* element_opening(reader_state state) {
    for (const element_rule& rule : element_rules()) {
        if (rule.opens == state && rule.opens != rule.read_in) {
            return &rule;
        }
    }
    return nullptr;
}

const element_rule* find_element(const std::string& name) {
    for (const element_rule& rule : element_rules()) {
        if (name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

const attribute_rule* find_attribute(const std::string& element, const std::string& name) {
    for (const attribute_rule& rule : attribute_rules()) {
        if (element == rule.element && name == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

bool collects_text(reader_state state) {
    const element_rule* rule = element_opening(state);
    return rule != nullptr && rule->take_text != nullptr;
}

bool adds_up(const element_rule& rule) {
    return rule.begin != nullptr || rule.take_text != nullptr;
}

std::vector<std::string> names_taken_in(const element_rule& rule) {
    std::vector<std::string> names;
    for (const element_rule& child : element_rules()) {
        if (child.read_in == rule.opens && rule.opens != rule.read_in) {
            names.emplace_back(child.name);
        }
    }
    return names;
}
