#include "tools/orvo_service/service_plan.h"

#include <algorithm>
#include <sstream>

#include "javahost/java_vm.h"
#include "platform/file_status.h"
#include "process/load_settings.h"
#include "settings/read_settings.h"
#include "tools/orvo_service/service_output.h"
#include "tools/settings_check/jvm_report.h"
#include "tools/settings_check/load_report.h"
#include "tools/settings_check/warning_report.h"

namespace {

// orvo-check's warnings about the settings file, as orvo-check shows them.
void say_file_warnings(const service_plan& plan) {
    std::ostringstream lines;
    print_warnings(lines, plan.settings_path, plan.file_warnings);
    say_warning_lines(lines.str());
}

// Reads the settings and sets this process up as the service's will be: in the working
// directory (where relative paths lead), with the class path expanded there and the
// environment set. A file that does not load is shown as orvo-check shows it, after the
// warnings about what comes before its error.
bool load_checked(service_plan& plan, settings_record& record) {
    // The reader would report a missing file with the system's words; this says what to do.
    if (platform::kind_of_path(plan.settings_path) != platform::path_kind::file) {
        say_error("there is no settings file " + plan.settings_path + "; " + plan.nothing_done);
        return false;
    }
    settings_checker checker(plan.settings_path);
    const process_load load = load_process_settings(plan.settings_path, record, &checker);
    plan.file_warnings = checker.warnings();
    if (load.failure) {
        say_file_warnings(plan);
        std::ostringstream lines;
        print_load_failure(lines, plan.settings_path, *load.failure, record);
        lines << "orvo-service: " << plan.nothing_done
              << "; orvo-check shows the file as the service reads it\n";
        say_error_lines(lines.str());
        return false;
    }
    return true;
}

// The Java VM library loads here as it will in the service, and is a Java VM library;
// else the service's own line and orvo-check's explanation.
bool jvm_library_loads(const settings_record& record, const service_plan& plan) {
    start_check_result result;
    vm_failure failure;
    result.created = check_vm_library(record.dll_path, failure);
    result.load_error = failure.reason;
    if (result.created == create_ok) {
        return true;
    }
    std::ostringstream lines;
    explain_jvm_failure(lines, record, result);
    lines << "orvo-service: " << plan.nothing_done
          << "; fix dll_path, or give --force to go on all the same\n";
    say_error_lines(lines.str());
    return false;
}

bool find_program(service_plan& plan) {
    plan.program =
        platform::in_folder(platform::containing_folder(platform::program_path()), "orvo.exe");
    if (platform::kind_of_path(plan.program) == platform::path_kind::file) {
        return true;
    }
    say_error("there is no orvo.exe beside orvo-service.exe (" + plan.program +
              "); keep the two programs of the zip together");
    return false;
}

bool find_account(const install_request& request, service_plan& plan) {
    const std::string account = request.account.value_or(default_account(request.name));
    platform::system_failure failure;
    if (platform::resolve_account(account, plan.account, failure)) {
        return true;
    }
    say_error("the account " + account + " cannot be found: " + failure.message +
              "; name a user as DOMAIN\\name or .\\name, or leave --account out");
    return false;
}

// A user's service without its password fails to log on (1069) at every start; a group
// managed service account ("DOMAIN\name$") has none to give.
void check_password(const install_request& request, service_plan& plan) {
    if (request.account && !is_built_in_account(plan.account.name) && !request.password_prompt &&
        plan.account.name.back() != '$') {
        plan.warnings.push_back("the account " + plan.account.name +
                                " is a user's, and no password is given: Windows refuses to "
                                "start the service (error 1069, the logon failed); give "
                                "--password-prompt, or use a group managed service account "
                                "(DOMAIN\\name$)");
    }
}

// Whoever can change what the service runs can run code as the service. Each path in full,
// as the service will find it from its working directory.
void check_writers(const settings_record& record, service_plan& plan) {
    std::vector<std::string> seen; // two spellings of one path are said once
    for (const std::string& file : files_run_as_code(record, plan.settings_path)) {
        const std::string path = platform::full_path(file);
        std::vector<std::string> writers;
        platform::system_failure failure;
        if (platform::kind_of_path(path) == platform::path_kind::missing ||
            std::any_of(seen.begin(), seen.end(),
                        [&path](const std::string& other) { return same_text(other, path); })) {
            continue;
        }
        seen.push_back(path);
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

// Restart after 5 s twice, or none; the flag with it.
void plan_recovery(const install_request& request, service_fields& wanted) {
    wanted.recovery = request.recovery ? default_recovery() : platform::failure_actions{};
    wanted.recovery_on_exit_code = request.recovery;
}

void plan_fields(const install_request& request, const settings_record& record,
                 service_plan& plan) {
    service_fields& wanted = plan.wanted;
    wanted.command_line = service_command_line(plan.program, plan.settings_path);
    wanted.display_name = request.display_name.value_or(request.name);
    wanted.description = request.description.value_or(default_description(record.class_name));
    wanted.start = request.start;
    wanted.account = plan.account.name;
    wanted.dependencies = request.dependencies;
    plan_recovery(request, wanted);
    wanted.preshutdown_timeout = preshutdown_timeout(record);
    wanted.grants = grants_for(record, plan.settings_path, plan.account, &plan.warnings);
    for (const file_grant& grant : wanted.grants) {
        if (grant.access == platform::file_access::modify) {
            plan.log_folders.push_back(grant.path);
        }
    }
    wanted.event_source = true;
}

// orvo-check's warning that a log's folder does not exist is no longer true once the
// folders are made: it goes when every log has its folder in the plan, as every log with
// an absolute path has (grants_for).
void drop_folders_made(const settings_record& record, service_plan& plan) {
    const std::vector<std::string> logs = log_files(record);
    if (plan.log_folders.empty() ||
        !std::all_of(logs.begin(), logs.end(),
                     [](const std::string& log) { return platform::is_absolute_path(log); })) {
        return;
    }
    plan.file_warnings.erase(std::remove_if(plan.file_warnings.begin(), plan.file_warnings.end(),
                                            [](const settings_warning& warning) {
                                                return warning.kind == "log_folder_missing";
                                            }),
                             plan.file_warnings.end());
}

} // namespace

bool plan_service(const install_request& request, service_plan& plan) {
    plan.name = request.name;
    plan.settings_path = platform::full_path(request.settings_path);
    settings_record record;
    if (!find_program(plan) || !find_account(request, plan) || !load_checked(plan, record)) {
        return false;
    }
    plan_fields(request, record, plan);
    drop_folders_made(record, plan);
    // orvo-check's warnings about the file come first.
    say_file_warnings(plan);
    if (!request.force && !jvm_library_loads(record, plan)) {
        return false;
    }
    check_password(request, plan);
    check_writers(record, plan);
    // Installed all the same: the system's code page may change before the service starts.
    if (const std::optional<settings_failure> unpassable = unpassable_option(record)) {
        plan.warnings.push_back("the service will not start: " + unpassable->reason);
    }
    return true;
}

bool say_plan_warnings(const install_request& request, const service_plan& plan) {
    for (const std::string& warning : plan.warnings) {
        say_warning(warning);
    }
    if (request.strict && (!plan.file_warnings.empty() || !plan.warnings.empty())) {
        say_error("--strict: " + plan.nothing_done + " because of the warnings above");
        return false;
    }
    return true;
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

service_fields current_fields(const platform::service_view& view,
                              const std::vector<file_grant>& asked,
                              const std::string& account_sid) {
    service_fields current;
    current.command_line = view.command_line;
    current.display_name = view.display_name;
    current.description = view.description;
    current.start = view.start;
    current.delayed_start_told = view.delayed_start_told;
    current.account = view.account.empty() ? "LocalSystem" : view.account;
    current.dependencies = view.dependencies;
    current.recovery = view.recovery;
    current.recovery_on_exit_code = view.failure_flag;
    current.preshutdown_timeout = view.preshutdown_ms;
    for (const file_grant& grant : asked) {
        std::optional<platform::file_access> held;
        platform::system_failure failure;
        if (platform::access_held(grant.path, account_sid, held, failure) && held) {
            current.grants.push_back({grant.path, grant.account, *held});
        }
    }
    // A grant not held may be one that the system did not keep; a folder that is not there
    // is missing whatever the system keeps.
    const bool all_there = std::all_of(asked.begin(), asked.end(), [](const file_grant& grant) {
        return platform::kind_of_path(grant.path) != platform::path_kind::missing;
    });
    current.grants_told =
        current.grants.size() == asked.size() || !all_there || platform::access_lists_kept();
    const std::string message_file = platform::event_source_message_file();
    current.event_source = runs_orvo(message_file) &&
                           platform::kind_of_path(message_file) == platform::path_kind::file;
    return current;
}

std::optional<std::string> settings_of_command_line(const std::string& command_line) {
    const std::vector<std::string> arguments = split_command_line(command_line);
    if (arguments.size() < 2 || !runs_orvo(arguments[0])) {
        return std::nullopt;
    }
    return arguments[1];
}

bool read_service_settings(const std::string& settings_path, settings_record& record) {
    return !load_process_settings(settings_path, record).failure;
}

std::string log_in_full(const settings_record& record, const std::string& log) {
    return (record.working_directory.empty() && !platform::is_absolute_path(log)) ||
                   leaves_stream_alone(log)
               ? log
               : platform::full_path(log);
}

std::vector<std::string> log_files(const settings_record& record) {
    std::vector<std::string> logs;
    for (const std::string& log : {stdout_log(record), stderr_log(record)}) {
        if (log.empty() || leaves_stream_alone(log)) {
            continue;
        }
        const std::string file = log_in_full(record, log);
        if (std::find(logs.begin(), logs.end(), file) == logs.end()) {
            logs.push_back(file);
        }
    }
    return logs;
}

std::vector<file_grant> grants_for(const settings_record& record, const std::string& settings_path,
                                   const platform::resolved_account& account,
                                   std::vector<std::string>* warnings) {
    std::vector<file_grant> grants;
    if (account.sid == platform::local_system_sid) {
        return grants;
    }
    grants.push_back({settings_path, account.name, platform::file_access::read});
    for (const std::string& log : log_files(record)) {
        if (!platform::is_absolute_path(log)) {
            if (warnings != nullptr) {
                warnings->push_back("the log " + log +
                                    " is a relative path, which the service takes from "
                                    "C:\\Windows\\System32: write it as an absolute path, or "
                                    "give the settings a working_directory; nothing granted");
            }
            continue;
        }
        const std::string folder = platform::containing_folder(log);
        if (std::none_of(grants.begin(), grants.end(),
                         [&folder](const file_grant& grant) { return grant.path == folder; })) {
            grants.push_back({folder, account.name, platform::file_access::modify});
        }
    }
    return grants;
}
