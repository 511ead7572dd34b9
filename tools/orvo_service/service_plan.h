// What a service should be, found out before anything is changed (install and apply), and
// what a registered service is (apply and show), both as the fields of service_fields.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/service_manager.h"
#include "settings/settings.h"
#include "tools/orvo_service/service_command.h"
#include "tools/orvo_service/service_fields.h"
#include "tools/settings_check/settings_warnings.h"

struct service_plan {
    std::string name;
    std::string settings_path; // absolute
    std::string program;       // the orvo.exe beside this program
    platform::resolved_account account;
    std::optional<std::string> password; // read only where it is written
    service_fields wanted;
    std::vector<std::string> log_folders;        // absolute; made when missing, then granted
    std::vector<settings_warning> file_warnings; // orvo-check's, about the settings file
    std::vector<std::string> warnings;           // orvo-service's, about what the service runs
    std::string nothing_done = "nothing was installed"; // how a refusal ends
};

// Finds orvo.exe and the account, loads the settings as the service will (this process
// enters their working directory) and says orvo-check's warnings about them, checks the
// Java VM library (unless --force), and fills `plan`. Says why not, and then nothing may be
// changed. orvo-service's own warnings are gathered in the plan, not said.
bool plan_service(const install_request& request, service_plan& plan);

// Says orvo-service's own warnings; true unless --strict refuses them or orvo-check's.
bool say_plan_warnings(const install_request& request, const service_plan& plan);

// True when every dependency is a service of this system or a group ("+NAME"); else says
// which is not.
bool dependencies_exist(const install_request& request, platform::service_manager& manager);

// What the manager holds for a service, as fields: `view`, the grants that `account` holds
// of `asked`, and whether the event source is registered.
service_fields current_fields(const platform::service_view& view,
                              const std::vector<file_grant>& asked, const std::string& account_sid);

// The settings file that a service's command line names, when the program is orvo.exe.
std::optional<std::string> settings_of_command_line(const std::string& command_line);

// Reads the settings of a registered service as its start reads them, this process in their
// working directory; false when they cannot be.
bool read_service_settings(const std::string& settings_path, settings_record& record);

// A log of `record` in full where it is relative to a working directory (which this process
// has entered); a relative one without, and "-", are left as they are.
std::string log_in_full(const settings_record& record, const std::string& log);

// The two logs (one when both are the same) as log_in_full gives them; none that is empty or
// "-" (no file: the stream is left where orvo's own goes).
std::vector<std::string> log_files(const settings_record& record);

// The grants that `account` needs for a service on `record` (as read_service_settings
// reads it): read on the settings file, modify on the logs' folders; none for LocalSystem.
// A relative log without a working directory gets none, and a warning in `warnings`.
std::vector<file_grant> grants_for(const settings_record& record, const std::string& settings_path,
                                   const platform::resolved_account& account,
                                   std::vector<std::string>* warnings = nullptr);
