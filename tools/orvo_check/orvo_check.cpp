// orvo-check: loads a settings file exactly as the service does and shows the result, so
// that an operator can see why a service would not start before installing it.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "javahost/start_check.h"
#include "platform/command_line.h"
#include "platform/standard_output_aside.h"
#include "process/load_settings.h"
#include "tools/orvo_check/record_report.h"
#include "tools/orvo_check/version_report.h"
#include "tools/settings_check/jvm_report.h"
#include "tools/settings_check/load_report.h"
#include "tools/settings_check/settings_warnings.h"
#include "tools/settings_check/warning_report.h"

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

// The dry run of the Java start after the settings loaded. In JSON the settings and the
// outcome are one document, written once the VM has had its say.
int check_jvm(bool json, const std::vector<std::string>& env_values,
              const std::vector<settings_warning>& warnings) {
    if (!json) {
        print_record(std::cout, settings, env_values);
    }
    // The VM writes to the same streams: what was said so far comes first. In JSON the
    // standard output must hold the document alone, so what the VM writes there (its
    // warnings, -version's text) goes to standard error.
    std::cout << std::flush;
    if (json) {
        platform::set_standard_output_aside();
    }
    const start_check_result result = check_java_start(settings);
    if (json) {
        platform::write_set_aside_output(
            with_warnings_json(record_with_jvm_json(settings, result, env_values), warnings));
    } else {
        print_start_check(std::cout, settings, result);
        explain_jvm_failure(std::cerr, settings, result);
    }
    return result.passed() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    argv = platform::utf8_arguments(argc, argv);
    platform::show_utf8_on_console();
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
    // The warnings listen while the file is read, and look at its paths before this
    // process enters the working directory: a relative settings path names the file from
    // here. Then this process is set up as the service's would be: the class path is
    // expanded in the working directory, and the Java VM of --jvm is created there with the
    // same environment. A file that does not load is reported with the warnings found
    // before its error, and so are options that the Java VM cannot be given on this system,
    // on which the service's start fails.
    settings_checker checker(parsed.path);
    process_load load = load_process_settings(parsed.path, settings, &checker);
    if (!load.failure) {
        load.failure = unpassable_option(settings);
    }
    const std::vector<settings_warning> warnings = checker.warnings();
    if (load.failure) {
        if (parsed.json) {
            std::cout << with_warnings_json(load_failure_json(parsed.path, *load.failure, settings),
                                            warnings);
        } else {
            print_warnings(std::cerr, parsed.path, warnings);
            print_load_failure(std::cerr, parsed.path, *load.failure, settings);
        }
        return 1;
    }
    const int warned = parsed.strict && !warnings.empty() ? 1 : 0;
    if (!parsed.json) {
        print_warnings(std::cerr, parsed.path, warnings);
    }
    const std::vector<std::string>& env_values = load.env_values;
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
