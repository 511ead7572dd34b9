#include "tools/settings_check/load_report.h"

#include <nlohmann/json.hpp>

#include "settings/visible_text.h"

namespace {

using json = nlohmann::ordered_json;

std::string dump(const json& object) {
    // A message quotes the file's bytes, which need not be UTF-8; the output must still be
    // JSON.
    return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string directory_error_message(const settings_record& record, const std::string& reason) {
    return "couldn't change to working directory \"" + visible(record.working_directory) +
           "\": " + reason;
}

std::string file_error_message(const std::string& path, const settings_failure& failure) {
    return "couldn't load settings file \"" + visible(path) + "\": " + failure.reason + ".";
}

std::string error_json(const char* kind, const std::string& message) {
    json object;
    object["error"] = kind;
    object["message"] = message;
    return dump(object);
}

// A working directory that cannot be entered, as the service would fail on it.
void print_directory_error(std::ostream& out, const std::string& path,
                           const settings_record& record, const std::string& reason) {
    out << path << ": error: " << directory_error_message(record, reason) << '\n';
}

std::string directory_error_json(const settings_record& record, const std::string& reason) {
    return error_json("working_directory", directory_error_message(record, reason));
}

} // namespace

void print_load_failure(std::ostream& out, const std::string& path, const settings_failure& failure,
                        const settings_record& record) {
    switch (failure.what) {
    case settings_failure::kind::file:
        out << path << ": error: " << file_error_message(path, failure) << '\n';
        break;
    case settings_failure::kind::syntax:
        print_syntax_error(out, path, *failure.syntax);
        break;
    case settings_failure::kind::document:
        print_load_error(out, path, *failure.document);
        break;
    case settings_failure::kind::working_directory:
        print_directory_error(out, path, record, failure.reason);
        break;
    case settings_failure::kind::vm_option:
    case settings_failure::kind::other:
        out << path << ": error: " << failure.reason << '\n';
        break;
    }
}

std::string load_failure_json(const std::string& path, const settings_failure& failure,
                              const settings_record& record) {
    switch (failure.what) {
    case settings_failure::kind::file:
        return error_json("file", file_error_message(path, failure));
    case settings_failure::kind::syntax:
        return syntax_error_json(*failure.syntax);
    case settings_failure::kind::document:
        return load_error_json(*failure.document);
    case settings_failure::kind::working_directory:
        return directory_error_json(record, failure.reason);
    case settings_failure::kind::vm_option:
        return error_json("option", failure.reason);
    case settings_failure::kind::other:
        break;
    }
    return error_json("other", failure.reason);
}

void print_syntax_error(std::ostream& out, const std::string& path,
                        const MXML::SyntaxException& error) {
    out << path << ':' << error.line << ':' << error.column
        << ": error: " << XML_ErrorString(error.error_code) << '\n';
}

void print_load_error(std::ostream& out, const std::string& path, const load_exception& error) {
    out << path;
    if (error.line != 0) {
        out << ':' << error.line << ':' << error.column;
    }
    out << ": error: " << error.what() << '\n';
}

std::string syntax_error_json(const MXML::SyntaxException& error) {
    json object;
    object["error"] = "syntax";
    object["error_code"] = static_cast<int>(error.error_code);
    object["byte_index"] = error.byte_index;
    object["line"] = error.line;
    object["column"] = error.column;
    object["message"] = XML_ErrorString(error.error_code);
    return dump(object);
}

std::string load_error_json(const load_exception& error) {
    json object;
    object["error"] = "load";
    object["message"] = error.what();
    if (error.line != 0) {
        object["line"] = error.line;
        object["column"] = error.column;
    }
    return dump(object);
}
