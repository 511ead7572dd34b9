// orvo-check: loads a settings file exactly as the service does and shows the result, so
// that an operator can see why a service would not start before installing it.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "javahost/process_settings.h"
#include "javahost/start_check.h"
#include "platform/file_status.h"
#include "platform/last_error.h"
#include "settings/load_settings.h"
#include "tools/check_report.h"
#include "tools/jvm_report.h"
#include "tools/settings_warnings.h"
#include "tools/version_report.h"
#include "tools/warning_report.h"

namespace {

const char usage[] = "usage: orvo-check [--json] [--jvm] [--strict] SETTINGS_FILE\n"
                     "       orvo-check --version\n";

struct arguments {
    bool json = false;
    bool jvm = false;    // also create the Java VM and look up the server's methods
    bool strict = false; // a warning makes the exit status 1
    std::string path;
};

// False when the command line is not optional --json, --jvm and --strict, and one path.
bool parse_arguments(int argc, char** argv, arguments& parsed) {
    bool have_path = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0 && !parsed.json) {
            parsed.json = true;
        } else if (std::strcmp(argv[i], "--jvm") == 0 && !parsed.jvm) {
            parsed.jvm = true;
        } else if (std::strcmp(argv[i], "--strict") == 0 && !parsed.strict) {
            parsed.strict = true;
        } else if (argv[i][0] != '-' && !have_path) {
            parsed.path = argv[i];
            have_path = true;
        } else {
            return false;
        }
    }
    return have_path;
}

// The parser reports a file it could not open as a document without elements; say
// what really happened too.
void explain_unreadable(const std::string& path) {
    if (platform::opening_waits(path)) {
        std::cerr << path << ": note: the file is a named pipe, which is not waited on\n";
    } else if (!std::ifstream(path.c_str()).is_open()) {
        std::cerr << path << ": note: the file cannot be opened for reading\n";
    }
}

// The dry run of the Java start after the settings loaded. In JSON the settings and the
// outcome are one document, written once the VM has had its say.
int check_jvm(bool json, const std::vector<std::string>& env_values,
              const std::vector<settings_warning>& warnings) {
    if (!json) {
        print_record(std::cout, settings, env_values);
    }
    // The VM writes to the same streams: what was said so far comes first.
    std::cout << std::flush;
    const start_check_result result = check_java_start(settings);
    if (json) {
        std::cout << with_warnings_json(record_with_jvm_json(settings, result, env_values),
                                        warnings);
    } else {
        print_start_check(std::cout, settings, result);
        explain_jvm_failure(std::cerr, settings, result);
    }
    return result.passed() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    arguments parsed;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << usage;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        print_version(std::cout);
        return 0;
    }
    if (!parse_arguments(argc, argv, parsed)) {
        std::cerr << usage;
        return 2;
    }
    // A file that does not load is reported with the warnings found before its error.
    try {
        read_settings(parsed.path, settings);
    } catch (const MXML::SyntaxException& error) {
        const auto warnings = settings_warnings_before(parsed.path, error.line, error.column);
        if (parsed.json) {
            std::cout << with_warnings_json(syntax_error_json(error), warnings);
        } else {
            print_warnings(std::cerr, parsed.path, warnings);
            print_syntax_error(std::cerr, parsed.path, error);
            explain_unreadable(parsed.path);
        }
        return 1;
    } catch (const load_exception& error) {
        const auto warnings = settings_warnings_before(parsed.path, error.line, error.column);
        if (parsed.json) {
            std::cout << with_warnings_json(load_error_json(error), warnings);
        } else {
            print_warnings(std::cerr, parsed.path, warnings);
            print_load_error(std::cerr, parsed.path, error);
        }
        return 1;
    }
    // Read before this process moves: a relative settings path names the file from here.
    const std::vector<settings_warning> warnings = settings_warnings(parsed.path);
    const int warned = parsed.strict && !warnings.empty() ? 1 : 0;
    if (!parsed.json) {
        print_warnings(std::cerr, parsed.path, warnings);
    }
    // This process is set up as the service's would be: the class path is expanded in the
    // working directory, and the Java VM of --jvm is created there with the same
    // environment.
    std::vector<std::string> env_values;
    if (!set_up_process(parsed.path, settings, &env_values)) {
        const std::string reason = platform::error_text(platform::last_error());
        if (parsed.json) {
            std::cout << with_warnings_json(directory_error_json(settings, reason), warnings);
        } else {
            print_directory_error(std::cerr, parsed.path, settings, reason);
        }
        return 1;
    }
    if (parsed.jvm) {
        return check_jvm(parsed.json, env_values, warnings) != 0 ? 1 : warned;
    }
    if (parsed.json) {
        std::cout << with_warnings_json(record_json(settings, env_values), warnings);
    } else {
        print_record(std::cout, settings, env_values);
    }
    return warned;
}
