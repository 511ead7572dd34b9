#include "tools/orvo_service/service_actions.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "javahost/java_vm.h"
#include "platform/file_access.h"
#include "platform/file_status.h"
#include "platform/last_error.h"
#include "platform/service_manager.h"
#include "process/load_settings.h"
#include "settings/settings.h"
#include "tools/orvo_service/service_output.h"
#include "tools/settings_check/jvm_report.h"
#include "tools/settings_check/load_report.h"
#include "tools/settings_check/settings_warnings.h"
#include "tools/settings_check/warning_report.h"

namespace {

void say_not_installed() {
    std::cerr << "orvo-service: nothing was installed; orvo-check shows the file as the service "
                 "reads it\n";
}

// Reads the settings and sets this process up as the service's will be: in the working
// directory (where relative paths lead), with the class path expanded there and the
// environment set. Shows orvo-check's warnings, and says why not in orvo-check's words;
// `warnings` gets the warnings of a file that loads.
bool load_checked(const std::string& path, settings_record& record,
                  std::vector<settings_warning>& warnings) {
    // The reader would report a missing file with the system's words; this says what to do.
    if (platform::kind_of_path(path) != platform::path_kind::file) {
        say_error("there is no settings file " + path + "; nothing was installed");
        return false;
    }
    settings_checker checker(path);
    const process_load load = load_process_settings(path, record, &checker);
    warnings = checker.warnings();
    print_warnings(std::cerr, path, warnings);
    if (load.failure) {
        print_load_failure(std::cerr, path, *load.failure, record);
        say_not_installed();
        return false;
    }
    return true;
}

// The Java VM library loads here as it will in the service, and is a Java VM library;
// else the service's own line and orvo-check's explanation.
bool jvm_library_loads(const settings_record& record) {
    start_check_result result;
    vm_failure failure;
    result.created = check_vm_library(record.dll_path, failure);
    result.load_error = failure.reason;
    if (result.created == create_ok) {
        return true;
    }
    explain_jvm_failure(std::cerr, record, result);
    std::cerr << "orvo-service: nothing was installed; fix dll_path, or give --force to install "
                 "all the same\n";
    return false;
}

// What an install has found out before it changes anything.
struct install_plan {
    std::string name;
    std::string settings_path; // absolute
    std::string program;       // the orvo.exe beside this program
    platform::resolved_account account;
    std::string description;
    std::optional<std::string> password;
    std::vector<settings_warning> file_warnings; // orvo-check's, about the settings file
    std::vector<std::string> warnings;           // about the files the service runs
};

bool find_program(install_plan& plan) {
    plan.program =
        platform::in_folder(platform::containing_folder(platform::program_path()), "orvo.exe");
    if (platform::kind_of_path(plan.program) == platform::path_kind::file) {
        return true;
    }
    say_error("there is no orvo.exe beside orvo-service.exe (" + plan.program +
              "); keep the two programs of the zip together");
    return false;
}

bool find_account(const install_request& request, install_plan& plan) {
    const std::string account = request.account.value_or(default_account(request.name));
    platform::system_failure failure;
    if (platform::resolve_account(account, plan.account, failure)) {
        return true;
    }
    say_error("the account " + account + " cannot be found: " + failure.message +
              "; name a user as DOMAIN\\name or .\\name, or leave --account out");
    return false;
}

bool dependencies_exist(const install_request& request, platform::service_manager& manager) {
    for (const std::string& dependency : request.dependencies) {
        // "+NAME" names a load-order group rather than a service.
        if (dependency.empty() || (dependency[0] != '+' && !manager.exists(dependency))) {
            say_error("there is no service \"" + dependency + "\" to depend on");
            return false;
        }
    }
    return true;
}

// Whoever can change what the service runs can run code as the service.
void check_writers(const settings_record& record, install_plan& plan) {
    for (const std::string& path : files_run_as_code(record, plan.settings_path)) {
        std::vector<std::string> writers;
        platform::system_failure failure;
        if (platform::kind_of_path(path) == platform::path_kind::missing) {
            continue;
        }
        if (!platform::other_writers(path, plan.account.sid, writers, failure)) {
            plan.warnings.push_back("who may change " + path +
                                    " cannot be told: " + failure.message);
            continue;
        }
        if (writers.empty()) {
            continue;
        }
        std::string names;
        for (const std::string& writer : writers) {
            names += (names.empty() ? "" : ", ") + writer;
        }
        plan.warnings.push_back(path + " can be changed by " + names +
                                ": whoever can change it runs code as the service; let only "
                                "administrators, SYSTEM and " +
                                plan.account.name + " change it");
    }
}

// Every check that can refuse the install. Nothing has been changed when it fails.
bool prepare(const install_request& request, const settings_record& record,
             platform::service_manager& manager, install_plan& plan) {
    if (!find_program(plan) || !find_account(request, plan) || !opened(manager)) {
        return false;
    }
    if (manager.exists(request.name)) {
        say_error("a service \"" + request.name +
                  "\" exists already; remove it first (orvo-service remove " +
                  prompt_argument(request.name) + ") or choose another name");
        return false;
    }
    if (!dependencies_exist(request, manager)) {
        return false;
    }
    check_writers(record, plan);
    // Installed all the same: the system's code page may change before the service starts.
    if (const std::optional<settings_failure> unpassable = unpassable_option(record)) {
        plan.warnings.push_back("the service will not start: " + unpassable->reason);
    }
    for (const std::string& warning : plan.warnings) {
        say_warning(warning);
    }
    if (request.strict && (!plan.file_warnings.empty() || !plan.warnings.empty())) {
        say_error("--strict: nothing was installed because of the warnings above");
        return false;
    }
    if (request.password_prompt) {
        plan.password = platform::read_secret("password of " + plan.account.name + ": ");
        if (!plan.password) {
            say_error("no password could be read; nothing was installed");
            return false;
        }
    }
    return true;
}

platform::service_definition definition_of(const install_request& request,
                                           const install_plan& plan) {
    platform::service_definition definition;
    definition.name = request.name;
    definition.display_name = request.display_name.value_or(request.name);
    definition.command_line = service_command_line(plan.program, plan.settings_path);
    definition.account = plan.account.name;
    definition.password = plan.password;
    definition.start = request.start;
    definition.dependencies = request.dependencies;
    return definition;
}

// The optional settings: each one the manager refuses is a warning.
void set_optional(const install_request& request, const settings_record& record,
                  const install_plan& plan, platform::service_manager& manager) {
    // Says what is set, or warns about what the manager would not store.
    const auto say = [&manager](bool stored, const std::string& line, const std::string& what) {
        if (stored) {
            std::cout << "  " << line << '\n';
        } else {
            say_warning(what + " is not set: " + manager.failure().message);
        }
    };
    static const char* const starts[] = {"auto", "delayed", "manual", "disabled"};
    if (request.start == platform::service_start::delayed &&
        !manager.set_delayed_start(request.name)) {
        say(false, "", "the delayed start (the service starts with the other automatic ones)");
        std::cout << "  start: auto\n";
    } else {
        std::cout << "  start: " << starts[static_cast<int>(request.start)] << '\n';
    }
    say(manager.set_description(request.name, plan.description), "description: " + plan.description,
        "the description");
    if (request.recovery) {
        say(manager.set_recovery(request.name, default_recovery()),
            "recovery: restart after 5 s, again after 5 s, then nothing; counted again after a "
            "day",
            "the recovery actions");
        say(manager.set_failure_flag(request.name, true),
            "recovery on a non-zero exit code too, not only when the process dies",
            "recovery on a non-zero exit code (only a crash counts as a failure)");
    }
    if (const std::optional<std::uint32_t> timeout = preshutdown_timeout(record)) {
        say(manager.set_preshutdown_timeout(request.name, *timeout),
            "preshutdown timeout: " + std::to_string(*timeout) + " ms (stop_timeout + 10000)",
            "the preshutdown timeout (the stop has only the time of an ordinary shutdown)");
    }
}

void grant(const install_plan& plan, const std::string& path, platform::file_access access) {
    const char* what = access == platform::file_access::read ? "read" : "modify";
    platform::system_failure failure;
    if (platform::grant_access(path, plan.account.sid, access, failure)) {
        std::cout << "granted " << plan.account.name << " " << what << " access to " << path
                  << '\n';
    } else {
        say_warning(std::string("could not grant ") + plan.account.name + " " + what +
                    " access to " + path + ": " + failure.message + "; grant it by hand");
    }
}

// Read access to the settings, modify access to the log folders, made when missing. A
// relative log path leads where it will for the service: into the working directory, which
// this process has entered, or without one into C:\Windows\System32.
void grant_access(const settings_record& record, const install_plan& plan) {
    if (plan.account.sid == platform::local_system_sid) {
        std::cout << "LocalSystem may use every file: nothing granted\n";
        return;
    }
    grant(plan, plan.settings_path, platform::file_access::read);
    std::vector<std::string> folders;
    for (const std::string& log : {stdout_log(record), stderr_log(record)}) {
        if (log.empty() || leaves_stream_alone(log)) {
            continue;
        }
        if (record.working_directory.empty() && !platform::is_absolute_path(log)) {
            say_warning("the log " + log +
                        " is a relative path, which the service takes from "
                        "C:\\Windows\\System32: write it as an absolute path, or give the "
                        "settings a working_directory; nothing granted");
            continue;
        }
        const std::string folder = platform::containing_folder(platform::full_path(log));
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) {
            continue;
        }
        folders.push_back(folder);
        platform::system_failure failure;
        if (!platform::create_folders(folder, failure)) {
            say_warning("the log folder " + folder + " cannot be created: " + failure.message +
                        "; the service cannot start until it exists");
            continue;
        }
        grant(plan, folder, platform::file_access::modify);
    }
}

void register_source(const install_plan& plan) {
    platform::system_failure failure;
    if (platform::register_event_source(plan.program, failure)) {
        std::cout << "registered the event log source \"orvo\" with the messages of "
                  << plan.program << '\n';
    } else {
        say_warning("the event log source \"orvo\" is not registered: " + failure.message +
                    "; events of the service show without their text");
    }
}

void print_created(const install_request& request, const platform::service_definition& made) {
    std::cout << "installed the service " << request.name << '\n'
              << "  display name: " << made.display_name << '\n'
              << "  command line: " << made.command_line << '\n'
              << "  account: " << made.account << '\n';
}

void print_commands(const std::string& name) {
    const std::string argument = prompt_argument(name);
    std::cout << "start it:  sc.exe start " << argument << '\n'
              << "query it:  orvo-service show " << argument << '\n'
              << "remove it: orvo-service remove " << argument << '\n';
}

} // namespace

int install_service(const install_request& request) {
    install_plan plan;
    plan.name = request.name;
    plan.settings_path = platform::full_path(request.settings_path);
    settings_record record;
    if (!load_checked(plan.settings_path, record, plan.file_warnings) ||
        (!request.force && !jvm_library_loads(record))) {
        return 1;
    }
    plan.description = request.description.value_or(default_description(record.class_name));
    platform::service_manager manager(true);
    if (!prepare(request, record, manager, plan)) {
        return 1;
    }
    const platform::service_definition definition = definition_of(request, plan);
    if (!manager.create(definition)) {
        say_error("the service cannot be created: " + manager.failure().message);
        return 1;
    }
    print_created(request, definition);
    set_optional(request, record, plan, manager);
    grant_access(record, plan);
    register_source(plan);
    print_commands(request.name);
    return 0;
}
