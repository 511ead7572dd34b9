// The checks of values: options and start method parameters as the pass meets them, and the
// fields that the last "log", "jvm" and "server" leave for the service.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "javahost/class_path.h"
#include "settings/settings_grammar.h"
#include "settings/variable_expansion.h"
#include "settings/visible_text.h"
#include "tools/settings_check/settings_facts.h"

namespace {

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

#ifdef _WIN32
const char jvm_library_advice[] = "give the path of bin\\server\\jvm.dll of a 64-bit Java runtime";
#else
const char jvm_library_advice[] = "give the path of lib/server/libjvm.so of a Java runtime";
#endif

// What an empty required field costs, and what to write instead.
struct field_advice {
    const char* attribute;
    const char* consequence;
    const char* remedy;
};
// clang-format off
const field_advice field_advices[] = {
    {"stdout",       "the service keeps no log of the program's standard output: it is discarded",
                     "give the log file's path"},
    {"stderr",       "the service keeps no log of the program's standard error and orvo's own error lines: they are discarded",
                     "give the log file's path"},
    {"dll_path",     "the service cannot load the JVM", jvm_library_advice},
    {"class",        "the service has no class to start", "give the server class, written like org/example/Server"},
    {"start_method", "the service has no method to start the server", "name the class's static start method"},
    {"stop_method",  "the service has no method to stop the server",
                     "name the class's static stop method, which takes no parameters"},
};

#ifndef _WIN32
// Variables that the process reads as it starts, before orvo sets those of the settings:
// set there, they change nothing. A name ending in "_" stands for every name it begins.
struct start_variable {
    const char* name;
    const char* reader;
    const char* remedy;
};
const char in_the_unit[] = "set it in the service's own environment (the unit's Environment=)";
const start_variable start_variables[] = {
    {"LD_LIBRARY_PATH", "the dynamic loader",
     "set it in the service's own environment (the unit's Environment=); for the libraries "
     "that System.loadLibrary loads itself, the option -Djava.library.path=FOLDER also does"},
    {"LD_",             "the dynamic loader", in_the_unit},
    {"GLIBC_TUNABLES",  "the C library", in_the_unit},
    {"MALLOC_",         "the C library's allocator", in_the_unit},
};
#endif

// Options of the java command that the JVM itself refuses, and where their meaning goes.
struct launcher_option {
    const char* name;
    const char* remedy;
};
const launcher_option launcher_options[] = {
    {"-cp",          "list the class path in the attribute \"class_path\" of \"jvm\""},
    {"-classpath",   "list the class path in the attribute \"class_path\" of \"jvm\""},
    {"--class-path", "list the class path in the attribute \"class_path\" of \"jvm\""},
    {"-jar",         "name the jar in \"class_path\" and its server class in \"server\""},
    {"-server",      "the JVM library that dll_path names decides the kind of VM"},
    {"-client",      "the JVM library that dll_path names decides the kind of VM"},
};
// clang-format on

void check_white_space(const std::string& what, const std::string& value, text_position at,
                       std::vector<settings_warning>& warnings, const std::string& remedy) {
    const std::string ends = white_space_at_ends(value);
    if (!ends.empty()) {
        add_warning(warnings, at, "white_space",
                    what + " " + shown(value) + " " + ends + ", which orvo keeps: " + remedy);
    }
}

void check_option(const element_occurrence& option, std::vector<settings_warning>& warnings) {
    const std::string& text = option.text;
    if (text.empty()) {
        add_warning(warnings, option.at, "empty_option",
                    "an empty \"option\" reaches the JVM, which refuses it: remove the element");
        return;
    }
    if (!white_space_at_ends(text).empty()) {
        const std::string meant = trimmed(text);
        check_white_space("the option", text, option.at, warnings,
                          meant.empty() ? "the JVM refuses it; remove the element"
                                        : "the JVM refuses it; write <option>" + visible(meant) +
                                              "</option> on one line");
        return;
    }
    const std::string word = text.substr(0, text.find_first_of(" =:"));
    for (const launcher_option& known : launcher_options) {
        if (word == known.name) {
            add_warning(
                warnings, option.at, "launcher_option",
                shown(word) +
                    " is an option of the java command, and the JVM refuses it: " + known.remedy);
        }
    }
}

// Where the variable name that begins at `from` ends: letters, digits and "_", beginning
// with a letter or "_"; `from` itself when no name begins there.
std::size_t name_end(const std::string& text, std::size_t from) {
    const auto is_name = [](char c, bool first) {
        return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' ||
               (!first && std::isdigit(static_cast<unsigned char>(c)) != 0);
    };
    std::size_t end = from;
    while (end < text.size() && is_name(text[end], end == from)) {
        ++end;
    }
    return end;
}

// A %NAME% in `text` as Windows' command line writes it, or empty.
std::string percent_reference(const std::string& text, std::string& meant) {
    for (std::size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 1)) {
        const std::size_t end = name_end(text, i + 1);
        if (end > i + 1 && end < text.size() && text[end] == '%') {
            meant = "${" + text.substr(i + 1, end - i - 1) + "}";
            return text.substr(i, end - i + 1);
        }
    }
    return std::string();
}

// What the loose "$" at `at` begins, when it looks like a variable: "$HOME", "${HOME"
// without its brace, "${}", "${A=x}". `meant` gets the ${NAME} form when there is a name.
std::string loose_reference(const std::string& value, std::size_t at, std::string& meant) {
    if (at + 1 >= value.size()) {
        return std::string();
    }
    if (value[at + 1] != '{') {
        const std::size_t end = name_end(value, at + 1);
        meant = end > at + 1 ? "${" + value.substr(at + 1, end - at - 1) + "}" : std::string();
        return end > at + 1 ? value.substr(at, end - at) : std::string();
    }
    const std::size_t close = value.find('}', at + 2);
    if (close != std::string::npos && close > at + 2) {
        meant.clear(); // a name that no variable can have
        return value.substr(at, close - at + 1);
    }
    const std::size_t end = name_end(value, at + 2);
    meant = end > at + 2 ? "${" + value.substr(at + 2, end - at - 2) + "}" : std::string();
    return value.substr(at, close == at + 2 ? 3 : end - at);
}

// The first piece of an "env" value that looks like a variable but that the expansion takes
// as written: a loose "$" (see value_pieces), or a %NAME%. Empty when there is none.
std::string unexpanded_reference(const std::string& value, std::string& meant) {
    for (const value_piece& piece : value_pieces(value)) {
        const std::string found =
            piece.what == value_piece::kind::loose  ? loose_reference(value, piece.at, meant)
            : piece.what == value_piece::kind::text ? percent_reference(piece.text, meant)
                                                    : std::string();
        if (!found.empty()) {
            return found;
        }
    }
    return std::string();
}

// A variable of the settings that only the start of a process reads.
void check_start_variable(const element_occurrence& env, std::vector<settings_warning>& warnings) {
#ifndef _WIN32
    const std::string& name = env.attribute("name");
    for (const start_variable& variable : start_variables) {
        const bool matches = ends_with(variable.name, "_") ? name.rfind(variable.name, 0) == 0
                                                           : name == variable.name;
        if (matches) {
            add_warning(warnings, env.at, "env_read_at_start",
                        shown(name) + " is read by " + variable.reader +
                            " when the process starts, before orvo sets the settings' "
                            "variables: set here, it changes nothing; " +
                            variable.remedy);
            return;
        }
    }
#else
    (void)env;
    (void)warnings;
#endif
}

void check_env(const element_occurrence& env, std::vector<settings_warning>& warnings) {
    check_white_space("the name of \"env\"", env.attribute("name"), env.at, warnings,
                      "it is part of the variable's name; remove it");
    std::string meant;
    const std::string reference = unexpanded_reference(env.attribute("value"), meant);
    if (!reference.empty()) {
        add_warning(warnings, env.at, "env_not_expanded",
                    shown(reference) + " in the value of " + shown(env.attribute("name")) +
                        " is taken as written: orvo expands only ${NAME} ($$ for one $)" +
                        (meant.empty() ? std::string() : "; write " + shown(meant)));
    }
    check_start_variable(env, warnings);
}

// A field that is there but empty is at its element; one that is missing, at the root.
void check_empty_fields(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    for (const attribute_rule& rule : attribute_rules()) {
        const element_occurrence* element = facts.last_of(rule.element);
        if (!rule.required || (element != nullptr && !element->attribute(rule.name).empty())) {
            continue;
        }
        std::string message;
        if (element == nullptr) {
            message = std::string("there is no \"") + rule.element + "\" element, so \"" +
                      rule.name + "\" is empty";
        } else if (element->has(rule.name)) {
            message = std::string("\"") + rule.name + "\" of \"" + rule.element + "\" is empty";
        } else {
            message = std::string("\"") + rule.element + "\" (line " +
                      std::to_string(element->at.line) + ") has no \"" + rule.name + "\"";
            if (facts.count_of(rule.element) > 1) {
                message += std::string(", and the last \"") + rule.element +
                           "\" replaces every attribute of the ones before";
            }
        }
        for (const field_advice& advice : field_advices) {
            if (std::strcmp(advice.attribute, rule.name) == 0) {
                message += std::string(": ") + advice.consequence + "; " + advice.remedy;
            }
        }
        add_warning(warnings, facts.field_position(rule.element, rule.name), "empty_field",
                    message);
    }
}

void check_server(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    const element_occurrence* server = facts.last_of("server");
    if (server == nullptr) {
        return;
    }
    for (const char* name : {"class", "start_method", "stop_method"}) {
        check_white_space(std::string("\"") + name + "\" of \"server\"", server->attribute(name),
                          server->at, warnings, "the JVM then finds no such name; remove it");
    }
    const std::string name = server->attribute("class");
    if (!white_space_at_ends(name).empty()) {
        return;
    }
    std::string meant = name;
    const char* kind = nullptr;
    if (ends_with(name, ".class")) {
        meant.resize(name.size() - 6);
        kind = "class_file_name";
    } else if (name.find('.') != std::string::npos) {
        kind = "class_with_dots";
    }
    if (kind == nullptr) {
        return;
    }
    for (char& c : meant) {
        c = c == '.' ? '/' : c;
    }
    add_warning(warnings, server->at, kind,
                "the class " + shown(name) +
                    (std::strcmp(kind, "class_file_name") == 0 ? " names a class file"
                                                               : " is written with dots") +
                    ", and the JVM finds no such class: write " + shown(meant) +
                    ", with \"/\" between the package's parts");
}

void check_class_path_options(const settings_facts& facts,
                              std::vector<settings_warning>& warnings) {
    const element_occurrence* jvm = facts.last_of("jvm");
    if (jvm == nullptr || jvm->attribute("class_path").empty()) {
        return;
    }
    for (const element_occurrence& option : facts.entries_of("option")) {
        if (is_class_path_option(option.text)) {
            add_warning(warnings, option.at, "class_path_option",
                        "this option sets the class path, and so does \"class_path\" of "
                        "\"jvm\": orvo adds its own -Djava.class.path= after it, and the JVM "
                        "takes the later one; list every item in \"class_path\"");
        }
    }
}

// A Windows service without time limits tells the service control manager little while it
// starts or stops.
void check_time_limits(const settings_facts& facts, std::vector<settings_warning>& warnings) {
#ifdef _WIN32
    const element_occurrence* server = facts.last_of("server");
    if (server == nullptr || server->attribute("start_timeout").empty()) {
        add_warning(warnings, facts.field_position("server", "start_timeout"), "no_time_limit",
                    "there is no start_timeout: the service reports a wait hint of 1 s and "
                    "then nothing until it runs, so callers such as net start and sc.exe may give "
                    "up with error 1053, and a start method that never returns leaves it start "
                    "pending for good; set start_timeout (milliseconds) above the longest start "
                    "you expect");
    }
    if (server == nullptr || server->attribute("stop_timeout").empty()) {
        add_warning(warnings, facts.field_position("server", "stop_timeout"), "no_time_limit",
                    "there is no stop_timeout: the service reports a wait hint of 5 s and "
                    "then nothing until it stops, so callers may give up with error 1053, and a "
                    "stop method that never returns leaves it stop pending for good; set "
                    "stop_timeout (milliseconds) above the longest stop you expect");
    }
#else
    (void)facts;
    (void)warnings;
#endif
}

// Rotation that keeps every rotated file lets the disk fill all the same; a count of files
// to keep rotates nothing by itself.
void check_rotation(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    const element_occurrence* log = facts.last_of("log");
    if (log == nullptr) {
        return;
    }
    const bool rotates = log->has("max_size") || log->attribute("daily") == "true";
    if (rotates && !log->has("max_files")) {
        add_warning(warnings, log->at, "rotation_keeps_all",
                    "there is no max_files: every rotated file is kept, so the disk may still "
                    "fill; set max_files to the number of rotated files of each log to keep");
    } else if (!rotates && log->has("max_files")) {
        add_warning(warnings, log->at, "max_files_without_rotation",
                    "max_files alone rotates nothing: give max_size (such as max_size='100M') "
                    "or daily='true' too");
    }
}

} // namespace

void check_entry(const std::string& element, const element_occurrence& entry,
                 std::vector<settings_warning>& warnings) {
    if (element == "option") {
        check_option(entry, warnings);
    } else if (element == "start_method_param") {
        check_white_space("the start method parameter", entry.text, entry.at, warnings,
                          "the start method receives it so; write <start_method_param>" +
                              visible(trimmed(entry.text)) + "</start_method_param>");
    } else if (element == "env") {
        check_env(entry, warnings);
    }
}

void check_values(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    check_empty_fields(facts, warnings);
    check_server(facts, warnings);
    check_class_path_options(facts, warnings);
    check_time_limits(facts, warnings);
    check_rotation(facts, warnings);
}
