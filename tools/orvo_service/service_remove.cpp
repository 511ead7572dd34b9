#include "tools/orvo_service/service_actions.h"

#include <iostream>
#include <vector>

#include "platform/file_access.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "platform/service_manager.h"
#include "tools/orvo_service/service_output.h"
#include "tools/orvo_service/service_plan.h"

namespace {

constexpr std::uint32_t usual_stop_limit_ms = 30000;
constexpr std::uint32_t error_service_marked_for_delete = 1072;

// How long a stop may take: the stop_timeout, with the margin the preshutdown timeout has,
// so that a stop ended at its deadline is seen ended.
std::uint32_t stop_limit(const settings_record& record) {
    return preshutdown_timeout(record).value_or(usual_stop_limit_ms);
}

void say_what_stays(const std::string& settings_path, const settings_record& record) {
    std::cout << "left in place: the settings file " << settings_path << '\n';
    for (const std::string& log : log_files(record)) {
        std::cout << "left in place: the log " << log << '\n';
    }
}

void update_event_source(platform::service_manager& manager, const std::string& name) {
    const event_source_change change = event_source_after_removal(
        platform::event_source_message_file(), manager.other_command_lines(name));
    platform::system_failure failure;
    if (change.what == event_source_change::action::remove) {
        if (platform::remove_event_source(failure)) {
            std::cout << "removed the event log source \"orvo\": no other service runs orvo\n";
        } else {
            say_warning("the event log source \"orvo\" stays: " + failure.message);
        }
    } else if (change.what == event_source_change::action::repoint) {
        if (platform::register_event_source(change.message_file, failure)) {
            std::cout << "the event log source \"orvo\" now takes its messages from "
                      << change.message_file << '\n';
        }
    }
}

// Reads what is registered for `name`; false, after saying why, when the manager cannot be
// opened or has no such service.
bool query_service(platform::service_manager& manager, const std::string& name,
                   platform::service_view& view) {
    if (!opened(manager)) {
        return false;
    }
    if (!manager.query(name, view)) {
        say_unreadable(name, manager.failure());
        return false;
    }
    return true;
}

// A service that did not stop: its process ended when the operator asks for it (true);
// else the service is only marked for deletion, and what is true is said (false).
bool end_or_explain(platform::service_manager& manager, const std::string& name, bool kill,
                    std::uint32_t limit, const platform::system_failure stop_failure) {
    platform::service_view now;
    if (!manager.query(name, now) || now.state == platform::service_stopped) {
        return true; // it stopped after all, or is gone
    }
    const std::string process = std::to_string(now.process_id);
    if (kill && now.process_id != 0) {
        platform::system_failure failure;
        if (!platform::end_process(now.process_id, limit, failure)) {
            say_error("the process " + process + " of the service cannot be ended: " +
                      failure.message + "; nothing was removed");
            return false;
        }
        std::cout << "ended the process " << process << " of the service, which was "
                  << state_name(now.state) << '\n';
        return true;
    }
    const std::string why = "the service \"" + name + "\" did not stop (" + stop_failure.message +
                            "); it is " + state_name(now.state) + ", and its process " + process +
                            " runs on";
    const std::string end = "; it goes once that process ends: end it with taskkill /pid " +
                            process + " /f, or orvo-service remove " + prompt_argument(name) +
                            " --kill";
    if (manager.remove(name)) {
        say_error(why + ". It is marked for deletion, and its name stays taken until then" + end);
    } else if (manager.failure().code == error_service_marked_for_delete) {
        say_error(why + ". It was marked for deletion already" + end);
    } else {
        say_error(why + ", and it cannot be deleted: " + manager.failure().message);
    }
    return false;
}

// The fields of a registered service as apply names them, with the grants that its account
// holds of those install gives.
nlohmann::ordered_json fields_of(const platform::service_view& view) {
    std::vector<file_grant> asked;
    settings_record record;
    platform::resolved_account account;
    platform::system_failure failure;
    const std::optional<std::string> settings_path = settings_of_command_line(view.command_line);
    if (settings_path && read_service_settings(*settings_path, record)) {
        if (platform::resolve_account(view.account.empty() ? "LocalSystem" : view.account, account,
                                      failure)) {
            asked = grants_for(record, *settings_path, account);
        }
    }
    return fields_json(current_fields(view, asked, account.sid));
}

void print_show_json(const std::string& name, const platform::service_view& view) {
    nlohmann::ordered_json answer = {{"service", name}};
    answer.update(fields_of(view));
    std::string untold;
    for (const char* field :
         {"description", "recovery", "recovery_on_exit_code", "preshutdown_timeout", "grants"}) {
        if (answer[field].is_null()) {
            untold += (untold.empty() ? "" : ", ") + std::string(field);
        }
    }
    if (!untold.empty()) {
        say_warning("this system does not tell back: " + untold);
    }
    answer["state"] = state_name(view.state);
    answer["process_id"] = view.process_id;
    answer["win32_exit_code"] = view.win32_exit_code;
    answer["service_exit_code"] = view.specific_exit_code;
    answer["warnings"] = gathered_warnings();
    print_json(answer);
}

} // namespace

int remove_service(const std::string& name, bool kill) {
    platform::service_manager manager(true);
    platform::service_view view;
    if (!query_service(manager, name, view)) {
        return 1;
    }
    const std::vector<std::string> arguments = split_command_line(view.command_line);
    if (arguments.empty() || !runs_orvo(arguments[0])) {
        say_error("the service \"" + name + "\" does not run orvo.exe (" + view.command_line +
                  "); remove it with sc.exe delete " + prompt_argument(name));
        return 1;
    }
    // A service whose file is gone is removed all the same.
    const std::optional<std::string> settings_path = settings_of_command_line(view.command_line);
    settings_record record;
    if (settings_path) {
        read_service_settings(*settings_path, record);
    }
    const std::uint32_t limit = stop_limit(record);
    if (!manager.stop(name, limit) &&
        !end_or_explain(manager, name, kill, limit, manager.failure())) {
        return 1;
    }
    // Marked for deletion by an earlier remove, it goes (or is gone) now that its process has
    // ended.
    if (!manager.remove(name) && manager.failure().code != error_service_marked_for_delete &&
        manager.failure().code != platform::error_service_does_not_exist) {
        say_error("the service cannot be deleted: " + manager.failure().message);
        return 1;
    }
    std::cout << "removed the service " << name << '\n';
    update_event_source(manager, name);
    if (settings_path) {
        say_what_stays(*settings_path, record);
    }
    return 0;
}

int show_service(const std::string& name, bool json) {
    platform::service_manager manager(false);
    platform::service_view view;
    if (!query_service(manager, name, view)) {
        return json ? (print_json_error(), 1) : 1;
    }
    if (json) {
        print_show_json(name, view);
        return 0;
    }
    std::string error_log;
    settings_record record;
    const std::optional<std::string> settings_path = settings_of_command_line(view.command_line);
    if (settings_path && read_service_settings(*settings_path, record) &&
        !leaves_stream_alone(stderr_log(record))) {
        error_log = log_in_full(record, stderr_log(record));
    }
    print_service(std::cout, name, view, platform::error_text(view.win32_exit_code), error_log);
    return 0;
}
