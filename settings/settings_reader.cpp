#include "settings/settings_reader.h"

#include <cstring>
#include <optional>

#include "settings/exceptions.h"
#include "settings/milliseconds.h"
#include "settings/rotation_values.h"
#include "settings/visible_text.h"

namespace {

bool is(const XML_Char* name, const char* expected) {
    return std::strcmp(name, expected) == 0;
}

// Records why the load fails and halts the parser: no exception may unwind through
// Expat's frames, and no later callback may change the record.
void halt(settings_parse_context& context, std::exception_ptr failure) {
    context.failure = std::move(failure);
    XML_StopParser(context.parser, XML_FALSE);
}

// Runs one callback's work unless the load has already failed; an exception it raises
// (a wrong root, or running out of memory) halts the parser instead of leaving.
template <typename Work> void guarded(void* user_data, Work work) {
    auto& context = *static_cast<settings_parse_context*>(user_data);
    if (context.failure) {
        return;
    }
    try {
        work(context);
    } catch (...) {
        halt(context, std::current_exception());
    }
}

// The position of the element being started, for an error about it.
load_exception element_error(const settings_parse_context& context, const std::string& message) {
    return load_exception(message,
                          static_cast<std::uint32_t>(XML_GetCurrentLineNumber(context.parser)),
                          static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(context.parser)));
}

// A time limit of "server": empty when the attribute is absent or empty. Any other value
// that is not a usable number of milliseconds makes the document unusable; the error
// points at the element's start tag.
std::optional<std::uint32_t> timeout_attribute(const settings_parse_context& context,
                                               const XML_Char** attributes, const char* name) {
    const std::string text = get_attribute(attributes, name);
    std::uint32_t value = 0;
    if (text.empty()) {
        return std::nullopt;
    }
    if (read_milliseconds(text, value)) {
        return value;
    }
    std::ostringstream message;
    message << "the attribute \"" << name
            << "\" of \"server\" must be a whole number of milliseconds from 1 to "
            << max_milliseconds << ", not \"" << visible(text) << '"';
    throw element_error(context, message.str());
}

// Like the other attributes, a later "server" replaces both limits, with no limit for an
// attribute it leaves out. Both are read before any field changes, so a rejected element
// leaves the record as the elements before it made it.
void start_server_element(settings_parse_context& context, const XML_Char** attributes) {
    settings_record& record = *context.target;
    std::optional<std::uint32_t> start_timeout =
        timeout_attribute(context, attributes, "start_timeout");
    std::optional<std::uint32_t> stop_timeout =
        timeout_attribute(context, attributes, "stop_timeout");
    record.class_name = get_attribute(attributes, "class");
    record.start_method = get_attribute(attributes, "start_method");
    record.stop_method = get_attribute(attributes, "stop_method");
    record.start_timeout = start_timeout;
    record.stop_timeout = stop_timeout;
    context.state = state_server;
}

bool has_attribute(const XML_Char** attributes, const char* name) {
    for (const XML_Char** pair = attributes; *pair != nullptr; pair += 2) {
        if (is(pair[0], name)) {
            return true;
        }
    }
    return false;
}

// An attribute of "log" that `read` cannot take: the error points at the element's start
// tag and says what the value must be.
template <typename Value, typename Reader>
std::optional<Value> log_attribute(const settings_parse_context& context,
                                   const XML_Char** attributes, const char* name, Reader read,
                                   const char* must_be) {
    if (!has_attribute(attributes, name)) {
        return std::nullopt; // unlike an absent one, an empty value is an error
    }
    const std::string text = get_attribute(attributes, name);
    Value value{};
    if (read(text, value)) {
        return value;
    }
    throw element_error(context, std::string("the attribute \"") + name + "\" of \"log\" must be " +
                                     must_be + ", not \"" + visible(text) + '"');
}

// Like the other attributes, a later "log" replaces the rotation with what it says, none
// for what it leaves out. Every value is read before any field changes.
void start_log_element(settings_parse_context& context, const XML_Char** attributes) {
    settings_record& record = *context.target;
    const std::optional<std::uint64_t> max_size = log_attribute<std::uint64_t>(
        context, attributes, "max_size", read_log_size,
        "a size from 1K to 1024G: digits, optionally followed by K, M or G");
    const std::optional<bool> daily =
        log_attribute<bool>(context, attributes, "daily", read_flag, "\"true\" or \"false\"");
    const std::optional<std::uint32_t> max_files =
        log_attribute<std::uint32_t>(context, attributes, "max_files", read_rotated_file_count,
                                     "a whole number from 1 to 10000");
    stdout_log(record) = get_attribute(attributes, "stdout");
    stderr_log(record) = get_attribute(attributes, "stderr");
    record.max_size = max_size;
    record.daily = daily.value_or(false);
    record.max_files = max_files;
    context.state = state_log;
}

// One variable to set: a name the system can hold (neither empty nor with "=", which
// separates name from value in the environment), its value as written.
void start_env_element(settings_parse_context& context, const XML_Char** attributes) {
    std::string name = get_attribute(attributes, "name");
    if (name.empty() || name.find('=') != std::string::npos) {
        throw element_error(context, "the attribute \"name\" of \"env\" must name a variable, "
                                     "neither empty nor holding \"=\", not \"" +
                                         visible(name) + '"');
    }
    context.target->env.push_back({std::move(name), get_attribute(attributes, "value")});
}

void start_in_setting(settings_parse_context& context, const XML_Char* name,
                      const XML_Char** attributes) {
    settings_record& record = *context.target;
    if (is(name, "log")) {
        start_log_element(context, attributes);
    } else if (is(name, "jvm")) {
        record.dll_path = get_attribute(attributes, "dll_path");
        record.class_path = get_attribute(attributes, "class_path");
        context.state = state_jvm;
    } else if (is(name, "server")) {
        start_server_element(context, attributes);
    } else if (is(name, "process")) {
        record.working_directory = get_attribute(attributes, "working_directory");
        context.state = state_process;
    }
}

} // namespace

std::string get_attribute(const XML_Char** attributes, const char* name) {
    for (const XML_Char** pair = attributes; *pair != nullptr; pair += 2) {
        if (is(pair[0], name)) {
            std::ostringstream value;
            value << pair[1];
            return value.str();
        }
    }
    return std::string();
}

void reset_text(settings_parse_context& context) {
    context.text.str(std::string());
    context.text.clear();
}

namespace {

void start_element(settings_parse_context& context, const XML_Char* name,
                   const XML_Char** attributes) {
    switch (context.state) {
    case state_root:
        if (is(name, "setting")) {
            context.state = state_setting;
        } else {
            throw load_exception("only \"setting\" could exist at root");
        }
        break;
    case state_setting:
        start_in_setting(context, name, attributes);
        break;
    case state_jvm:
        if (is(name, "option")) {
            reset_text(context);
            context.state = state_option;
        }
        break;
    case state_server:
        if (is(name, "start_method_param")) {
            reset_text(context);
            context.state = state_start_method_param;
        }
        break;
    case state_process:
        if (is(name, "env")) {
            start_env_element(context, attributes);
        }
        break;
    default: // inside log, option or start_method_param no start tag matters
        break;
    }
}

// The state that the end tag `name` leads back to from `from`, or `from` itself when
// the name does not close the current state.
reader_state state_after_end(reader_state from, const XML_Char* name) {
    switch (from) {
    case state_setting:
        return is(name, "setting") ? state_root : from;
    case state_log:
        return is(name, "log") ? state_setting : from;
    case state_jvm:
        return is(name, "jvm") ? state_setting : from;
    case state_option:
        return is(name, "option") ? state_jvm : from;
    case state_server:
        return is(name, "server") ? state_setting : from;
    case state_start_method_param:
        return is(name, "start_method_param") ? state_server : from;
    case state_process:
        return is(name, "process") ? state_setting : from;
    default:
        return from;
    }
}

void end_element(settings_parse_context& context, const XML_Char* name) {
    const reader_state next = state_after_end(context.state, name);
    if (next == context.state) {
        return;
    }
    if (context.state == state_option) {
        context.target->options.push_back(context.text.str());
    } else if (context.state == state_start_method_param) {
        context.target->start_method_params.push_back(context.text.str());
    }
    context.state = next;
}

void character_data(settings_parse_context& context, const XML_Char* data, int length) {
    if (context.state == state_option || context.state == state_start_method_param) {
        context.text.write(data, length);
    }
}

} // namespace

void XMLCALL on_start_element(void* user_data, const XML_Char* name, const XML_Char** attributes) {
    guarded(user_data,
            [&](settings_parse_context& context) { start_element(context, name, attributes); });
}

void XMLCALL on_end_element(void* user_data, const XML_Char* name) {
    guarded(user_data, [&](settings_parse_context& context) { end_element(context, name); });
}

void XMLCALL on_character_data(void* user_data, const XML_Char* data, int length) {
    guarded(user_data,
            [&](settings_parse_context& context) { character_data(context, data, length); });
}
