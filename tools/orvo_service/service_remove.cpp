#include "tools/orvo_service/service_actions.h"

#include <iostream>
#include <vector>

#include "platform/service_manager.h"
#include "settings/read_settings.h"
#include "settings/settings.h"
#include "tools/orvo_service/service_output.h"

namespace {

constexpr std::uint32_t usual_stop_limit_ms = 30000;
constexpr std::uint32_t error_service_request_timeout = 1053;

// The settings the service runs on, as far as they can be read: a service whose file is
// gone is removed all the same.
settings_record settings_of(const std::vector<std::string>& arguments) {
    settings_record record;
    try {
        if (arguments.size() > 1) {
            read_settings(arguments[1], record);
        }
    } catch (const std::exception&) {
    }
    return record;
}

// How long a stop may take: the stop_timeout, with the margin the preshutdown timeout has,
// so that a stop ended at its deadline is seen ended.
std::uint32_t stop_limit(const settings_record& record) {
    return preshutdown_timeout(record).value_or(usual_stop_limit_ms);
}

void say_what_stays(const std::vector<std::string>& arguments, const settings_record& record) {
    if (arguments.size() < 2) {
        return;
    }
    std::cout << "left in place: the settings file " << arguments[1] << '\n';
    const std::string& out = stdout_log(record);
    const std::string& err = stderr_log(record);
    if (!out.empty() && !leaves_stream_alone(out)) {
        std::cout << "left in place: the log " << out << '\n';
    }
    if (!err.empty() && !leaves_stream_alone(err) && err != out) {
        std::cout << "left in place: the log " << err << '\n';
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

} // namespace

int remove_service(const std::string& name) {
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
    const settings_record record = settings_of(arguments);
    const std::uint32_t limit = stop_limit(record);
    if (!manager.stop(name, limit)) {
        say_warning(manager.failure().code == error_service_request_timeout
                        ? "the service did not stop within " + std::to_string(limit) +
                              " ms; it is deleted once its process has ended"
                        : "the service could not be stopped: " + manager.failure().message);
    }
    if (!manager.remove(name)) {
        say_error("the service cannot be deleted: " + manager.failure().message);
        return 1;
    }
    std::cout << "removed the service " << name << '\n';
    update_event_source(manager, name);
    say_what_stays(arguments, record);
    return 0;
}

int show_service(const std::string& name) {
    platform::service_manager manager(false);
    platform::service_view view;
    if (!query_service(manager, name, view)) {
        return 1;
    }
    print_service(std::cout, name, view);
    return 0;
}
