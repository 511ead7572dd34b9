#include "tools/orvo_service/service_command.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "javahost/class_path.h"
#include "platform/file_status.h"
#include "tools/orvo_service/exit_code_meaning.h"

const char service_usage[] =
    "usage: orvo-service install NAME SETTINGS_FILE [OPTIONS]\n"
    "       orvo-service apply NAME SETTINGS_FILE [OPTIONS] [--check] [--json]\n"
    "       orvo-service remove NAME [--kill]\n"
    "       orvo-service show NAME [--json]\n"
    "OPTIONS: [--display-name TEXT] [--description TEXT] [--start auto|delayed|manual|disabled]\n"
    "         [--account ACCOUNT [--password-prompt]] [--depends NAME]... [--no-recovery]\n"
    "         [--force] [--strict]\n";

bool same_text(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

bool starts_with_text(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && same_text(text.substr(0, start.size()), start);
}

bool parse_start(const std::string& value, platform::service_start& start) {
    static const struct {
        const char* word;
        platform::service_start start;
    } starts[] = {{"auto", platform::service_start::automatic},
                  {"delayed", platform::service_start::delayed},
                  {"manual", platform::service_start::manual},
                  {"disabled", platform::service_start::disabled}};
    for (const auto& known : starts) {
        if (value == known.word) {
            start = known.start;
            return true;
        }
    }
    return false;
}

// The service control manager refuses these in a service's name.
bool valid_name(const std::string& name) {
    return !name.empty() && name.size() <= 256 && name.find_first_of("/\\") == std::string::npos;
}

// The options of install and apply after NAME and SETTINGS_FILE.
bool parse_install_options(int argc, const char* const* argv, service_command& command,
                           std::string& problem) {
    install_request& request = command.install;
    const bool apply = command.what == service_command::action::apply;
    bool start_given = false;
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        const bool has_value = i + 1 < argc;
        const auto take_value = [&](std::optional<std::string>& into) {
            if (!has_value || into) {
                problem = option + (has_value ? " is given twice" : " needs a value");
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (option == "--display-name") {
            if (!take_value(request.display_name)) {
                return false;
            }
        } else if (option == "--description") {
            if (!take_value(request.description)) {
                return false;
            }
        } else if (option == "--account") {
            if (!take_value(request.account)) {
                return false;
            }
        } else if (option == "--start" && has_value && !start_given) {
            start_given = true;
            if (!parse_start(argv[++i], request.start)) {
                problem =
                    std::string("--start takes auto, delayed, manual or disabled, not ") + argv[i];
                return false;
            }
        } else if (option == "--depends" && has_value) {
            request.dependencies.push_back(argv[++i]);
        } else if (option == "--password-prompt" && !request.password_prompt) {
            request.password_prompt = true;
        } else if (option == "--no-recovery" && request.recovery) {
            request.recovery = false;
        } else if (option == "--force" && !request.force) {
            request.force = true;
        } else if (option == "--strict" && !request.strict) {
            request.strict = true;
        } else if (apply && option == "--check" && !command.check) {
            command.check = true;
        } else if (apply && option == "--json" && !command.json) {
            command.json = true;
        } else {
            problem = "unexpected " + option;
            return false;
        }
    }
    if (request.password_prompt && (!request.account || is_built_in_account(*request.account))) {
        problem = "--password-prompt is for a user account given with --account";
        return false;
    }
    return true;
}

} // namespace

bool parse_service_command(int argc, const char* const* argv, service_command& command,
                           std::string& problem) {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (argc == 2 && (verb == "--help" || verb == "help")) {
        command.what = service_command::action::help;
        return true;
    }
    const std::string option = argc == 4 ? argv[3] : "";
    if (verb == "remove" && (argc == 3 || (argc == 4 && option == "--kill"))) {
        command.what = service_command::action::remove;
        command.install.name = argv[2];
        command.kill = argc == 4;
    } else if (verb == "show" && (argc == 3 || (argc == 4 && option == "--json"))) {
        command.what = service_command::action::show;
        command.install.name = argv[2];
        command.json = argc == 4;
    } else if ((verb == "install" || verb == "apply") && argc >= 4 &&
               std::strncmp(argv[3], "--", 2) != 0) { // an option, where the file belongs
        command.what =
            verb == "install" ? service_command::action::install : service_command::action::apply;
        command.install.name = argv[2];
        command.install.settings_path = argv[3];
        if (!parse_install_options(argc, argv, command, problem)) {
            return false;
        }
    } else {
        problem = verb.empty() ? "no command" : "wrong arguments for " + verb;
        return false;
    }
    if (!valid_name(command.install.name)) {
        problem = "a service's name is 1 to 256 characters, without / or \\";
        return false;
    }
    return true;
}

bool wants_json(int argc, const char* const* argv) {
    if (argc < 2 || (std::strcmp(argv[1], "apply") != 0 && std::strcmp(argv[1], "show") != 0)) {
        return false;
    }
    return std::any_of(argv + 2, argv + argc,
                       [](const char* argument) { return std::strcmp(argument, "--json") == 0; });
}

const char* state_name(std::uint32_t state) {
    static const char* const states[] = {"unknown",       "stopped", "start pending",
                                         "stop pending",  "running", "continue pending",
                                         "pause pending", "paused"};
    return state < sizeof states / sizeof *states ? states[state] : "unknown";
}

std::string default_account(const std::string& name) {
    return "NT SERVICE\\" + name;
}

bool is_built_in_account(const std::string& account) {
    static const char* const names[] = {"LocalSystem",    "NT AUTHORITY\\SYSTEM",
                                        "LocalService",   "NT AUTHORITY\\LocalService",
                                        "NetworkService", "NT AUTHORITY\\NetworkService"};
    for (const char* name : names) {
        if (same_text(account, name)) {
            return true;
        }
    }
    return starts_with_text(account, "NT SERVICE\\");
}

std::string service_command_line(const std::string& program, const std::string& settings_path) {
    return "\"" + program + "\" \"" + settings_path + "\"";
}

std::vector<std::string> split_command_line(const std::string& line) {
    std::vector<std::string> arguments;
    std::string::size_type i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i == line.size()) {
            return arguments;
        }
        std::string argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            std::string::size_type backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                // 2n backslashes and a quote: n backslashes and a quote that opens or closes;
                // 2n + 1: n backslashes and the quote itself.
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                argument.append(backslashes, '\\');
                if (i == line.size() || (!quoted && (line[i] == ' ' || line[i] == '\t'))) {
                    break;
                }
                argument += line[i];
            }
        }
        arguments.push_back(argument);
    }
}

std::string prompt_argument(const std::string& name) {
    return name.find_first_of(" \t") == std::string::npos ? name : "\"" + name + "\"";
}

bool runs_orvo(const std::string& program) {
    const std::string::size_type separator = program.find_last_of("\\/");
    return same_text(separator == std::string::npos ? program : program.substr(separator + 1),
                     "orvo.exe");
}

std::string default_description(const std::string& class_name) {
    if (class_name.empty()) {
        return "Runs a Java server with orvo";
    }
    std::string dotted = class_name;
    std::replace(dotted.begin(), dotted.end(), '/', '.');
    return "Runs " + dotted + " with orvo";
}

platform::failure_actions default_recovery() {
    return {86400, {{true, 5000}, {true, 5000}, {false, 0}}};
}

std::optional<std::uint32_t> preshutdown_timeout(const settings_record& record) {
    if (!record.stop_timeout) {
        return std::nullopt;
    }
    // A stop_timeout is at most 2147483647, so the sum fits.
    return *record.stop_timeout + 10000u;
}

namespace {

const char* start_word(platform::service_start start) {
    switch (start) {
    case platform::service_start::automatic:
        return "auto";
    case platform::service_start::delayed:
        return "delayed (automatic, after the others)";
    case platform::service_start::disabled:
        return "disabled";
    default:
        return "manual";
    }
}

const char not_readable[] = "(not told by this system's service control manager)";

void print_recovery(std::ostream& out, const platform::service_view& view) {
    out << "recovery: ";
    if (!view.recovery) {
        out << not_readable << '\n';
    } else if (view.recovery->actions.empty()) {
        out << "(none)\n";
    } else {
        const char* separator = "";
        for (const platform::recovery_action& action : view.recovery->actions) {
            out << separator;
            if (action.restart) {
                out << "restart after " << action.delay_ms << " ms";
            } else {
                out << "nothing";
            }
            separator = ", then ";
        }
        out << "; counted again after " << view.recovery->reset_seconds << " s\n";
    }
    out << "recovery on a non-zero exit code: ";
    if (!view.failure_flag) {
        out << not_readable << '\n';
    } else {
        out << (*view.failure_flag ? "yes" : "no (only when the process dies)") << '\n';
    }
}

} // namespace

void print_service(std::ostream& out, const std::string& name, const platform::service_view& view,
                   const std::string& exit_code_words, const std::string& stderr_log) {
    const std::vector<std::string> arguments = split_command_line(view.command_line);
    out << "service: " << name << '\n'
        << "display name: " << view.display_name << '\n'
        << "description: " << view.description.value_or(not_readable) << '\n'
        << "command line: " << view.command_line << '\n'
        << "settings file: "
        << (arguments.size() > 1 && runs_orvo(arguments[0]) ? arguments[1] : "(none: not orvo)")
        << '\n'
        << "account: " << (view.account.empty() ? "LocalSystem" : view.account) << '\n'
        << "start: " << start_word(view.start) << '\n'
        << "dependencies: ";
    if (view.dependencies.empty()) {
        out << "(none)";
    }
    for (std::size_t i = 0; i < view.dependencies.size(); ++i) {
        out << (i == 0 ? "" : ", ") << view.dependencies[i];
    }
    out << '\n';
    print_recovery(out, view);
    out << "preshutdown timeout: ";
    if (view.preshutdown_ms) {
        out << *view.preshutdown_ms << " ms\n";
    } else {
        out << not_readable << '\n';
    }
    out << "state: " << state_name(view.state);
    if (view.process_id != 0) {
        out << " (process " << view.process_id << ')';
    }
    out << "\nlast exit code: " << view.win32_exit_code << " (" << exit_code_words << ')';
    if (view.specific_exit_code != 0) {
        out << ", service-specific " << view.specific_exit_code;
    }
    out << '\n';
    const exit_code_meaning meaning = meaning_of_exit_code(view.win32_exit_code, stderr_log);
    if (!meaning.meaning.empty()) {
        out << "  for orvo: " << meaning.meaning << "; the reason is in " << meaning.where
            << " (docs\\exit-codes.md)\n";
    }
}

namespace {

void add_once(std::vector<std::string>& paths, const std::string& path) {
    if (!path.empty() && std::find_if(paths.begin(), paths.end(), [&path](const std::string& p) {
                             return same_text(p, path);
                         }) == paths.end()) {
        paths.push_back(path);
    }
}

} // namespace

std::vector<std::string> files_run_as_code(const settings_record& record,
                                           const std::string& settings_path) {
    std::vector<std::string> paths;
    add_once(paths, settings_path);
    // A bare name is looked for along the system's search order, not at one place.
    if (platform::names_folder(record.dll_path)) {
        add_once(paths, record.dll_path);
    }
    for (const std::string& item : class_path_items(record.class_path)) {
        if (item.back() == '*') {
            add_once(paths, platform::containing_folder(item));
        }
    }
    // The class path the service gives the JVM, the jars of each folder listed one by one.
    for (const std::string& given : record.options) {
        if (!record.class_path.empty() && is_class_path_option(given)) {
            for (const std::string& item :
                 class_path_items(given.substr(sizeof class_path_option_prefix - 1))) {
                add_once(paths, item);
            }
        }
    }
    return paths;
}

event_source_change
event_source_after_removal(const std::string& message_file,
                           const std::vector<std::string>& other_command_lines) {
    if (!runs_orvo(message_file)) {
        return {};
    }
    std::vector<std::string> programs;
    for (const std::string& line : other_command_lines) {
        const std::vector<std::string> arguments = split_command_line(line);
        if (!arguments.empty() && runs_orvo(arguments[0])) {
            if (same_text(arguments[0], message_file)) {
                return {};
            }
            programs.push_back(arguments[0]);
        }
    }
    if (programs.empty()) {
        return {event_source_change::action::remove, std::string()};
    }
    return {event_source_change::action::repoint, programs.front()};
}
