// Every field of a service that orvo-service sets, in one description: install sets them,
// apply compares them with what the service control manager holds and changes those that
// differ, and show --json shows them, each under the same name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/file_access.h"
#include "platform/service_manager.h"

// An entry of a file's or folder's access list that lets `account` use it.
struct file_grant {
    std::string path;
    std::string account;
    platform::file_access access = platform::file_access::read;
};

// A service as orvo-service asks for it (wanted) or as the system holds it (current). An
// optional left empty means, in a wanted service, "not asked for" (the preshutdown timeout
// of settings without a stop_timeout, which stays as the system has it); in a current one,
// "this system's service control manager does not tell it" (Wine keeps no recovery). Either
// way the field counts as equal and is never written again.
struct service_fields {
    std::string command_line;
    std::string display_name;
    std::optional<std::string> description;
    platform::service_start start = platform::service_start::automatic;
    bool delayed_start_told = true; // current: false when an automatic start may be delayed
    std::string account; // as the manager takes it: "NT SERVICE\NAME", "LocalSystem", ...
    std::vector<std::string> dependencies;             // "+GROUP" for a load-order group
    std::optional<platform::failure_actions> recovery; // no actions: none
    std::optional<bool> recovery_on_exit_code;
    std::optional<std::uint32_t> preshutdown_timeout; // milliseconds
    // Wanted: the grants install makes. Current: for each wanted path, the access that the
    // account holds there, when it holds any.
    std::vector<file_grant> grants;
    bool grants_told = true;   // current: false where the system keeps no access lists
    bool event_source = false; // the event log source "orvo" is registered with an orvo.exe
};

// One field whose current value is not the wanted one.
struct field_change {
    std::string field;           // as JSON names it: "start_type"
    nlohmann::ordered_json from; // null for a service that does not exist yet
    nlohmann::ordered_json to;
    bool restart_required = false; // a running service sees it only after a restart
    std::string text;              // "start type: manual -> auto"
};

// The fields that differ, in the order of the description; every field when there is no
// current service (`current` null).
std::vector<field_change> changed_fields(const service_fields& wanted,
                                         const service_fields* current);

// The fields of `wanted` that `current` does not tell, by their words ("recovery"), for the
// one warning that says they were not compared.
std::vector<std::string> untold_fields(const service_fields& wanted, const service_fields& current);

// Every field as JSON, named as field_change names them: {"command_line": ..., ...}.
nlohmann::ordered_json fields_json(const service_fields& fields);

// "auto", "delayed", "manual", "disabled", as --start takes them.
const char* start_name(platform::service_start start);

// "read" or "modify", as the grants are named.
const char* access_name(platform::file_access access);

// True when `held` has an entry for the path and account of `grant` whose access covers the
// access asked for: modify includes read.
bool grant_held(const std::vector<file_grant>& held, const file_grant& grant);
