// install and apply: the plan (service_plan.h), then what it takes to make the service so.
// A new service is created and every field is set, as install always did; of a service
// that exists, apply writes only the fields that differ.
#include "tools/orvo_service/service_actions.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "platform/file_access.h"
#include "platform/file_status.h"
#include "platform/service_control.h"
#include "platform/service_manager.h"
#include "tools/orvo_service/service_output.h"
#include "tools/orvo_service/service_plan.h"

namespace {

constexpr std::uint32_t error_invalid_level = 124;

// What one run of install or apply has done, or would do with --check.
struct outcome {
    std::vector<field_change> changes; // made, or to be made
    bool failed = false;               // a change that had to be made was not
    bool restart_required = false;
};

bool has_change(const std::vector<field_change>& changes, const char* field) {
    return std::any_of(changes.begin(), changes.end(),
                       [field](const field_change& change) { return change.field == field; });
}

void drop_change(outcome& result, const char* field) {
    result.changes.erase(
        std::remove_if(result.changes.begin(), result.changes.end(),
                       [field](const field_change& change) { return change.field == field; }),
        result.changes.end());
}

// A change of `field` that was not made: no longer counted as made, and said as a warning
// (`as_warning`), or as an error that fails the run.
void fell_short(outcome& result, const char* field, const std::string& text, bool as_warning) {
    drop_change(result, field);
    if (as_warning) {
        say_warning(text);
    } else {
        say_error(text);
        result.failed = true;
    }
}

// An optional part that the manager would not store. One this system's manager does not
// know at all (ERROR_INVALID_LEVEL: Wine, older Windows) is a warning, as install has always
// said it; for apply, any other refusal leaves the service not as asked.
void refused(outcome& result, const char* field, const std::string& what,
             const platform::system_failure& failure, bool installing) {
    fell_short(result, field, what + " is not set: " + failure.message,
               installing || failure.code == error_invalid_level);
}

// --- A new service: created, and every field set ---------------------------------------

platform::service_definition definition_of(const service_plan& plan) {
    platform::service_definition definition;
    definition.name = plan.name;
    definition.display_name = plan.wanted.display_name;
    definition.command_line = plan.wanted.command_line;
    definition.account = plan.wanted.account;
    definition.password = plan.password;
    definition.start = plan.wanted.start;
    definition.dependencies = plan.wanted.dependencies;
    return definition;
}

// The optional settings, each line said as it is set.
void set_optional(const service_plan& plan, platform::service_manager& manager, outcome& result,
                  bool installing) {
    const service_fields& wanted = plan.wanted;
    const auto set = [&](bool stored, const char* field, const std::string& line,
                         const std::string& what) {
        if (stored) {
            say_done("  " + line);
        } else {
            refused(result, field, what, manager.failure(), installing);
        }
    };
    if (wanted.start == platform::service_start::delayed &&
        !manager.set_delayed_start(plan.name, true)) {
        refused(result, "start_type",
                "the delayed start (the service starts with the other automatic ones)",
                manager.failure(), installing);
        say_done("  start: auto");
    } else {
        say_done(std::string("  start: ") + start_name(wanted.start));
    }
    set(manager.set_description(plan.name, *wanted.description), "description",
        "description: " + *wanted.description, "the description");
    if (!wanted.recovery->actions.empty()) {
        set(manager.set_recovery(plan.name, *wanted.recovery), "recovery",
            "recovery: restart after 5 s, again after 5 s, then nothing; counted again after a "
            "day",
            "the recovery actions");
        set(manager.set_failure_flag(plan.name, true), "recovery_on_exit_code",
            "recovery on a non-zero exit code too, not only when the process dies",
            "recovery on a non-zero exit code (only a crash counts as a failure)");
    }
    if (wanted.preshutdown_timeout) {
        set(manager.set_preshutdown_timeout(plan.name, *wanted.preshutdown_timeout),
            "preshutdown_timeout",
            "preshutdown timeout: " + std::to_string(*wanted.preshutdown_timeout) +
                " ms (stop_timeout + 10000)",
            "the preshutdown timeout (the stop has only the time of an ordinary shutdown)");
    }
}

// Grants `grants`, making the log folders first where they are missing. Each one that
// fails is a warning for install, an error for apply.
void grant_all(const service_plan& plan, const std::vector<file_grant>& grants, outcome& result,
               bool installing) {
    for (const file_grant& grant : grants) {
        platform::system_failure failure;
        if (grant.access == platform::file_access::modify &&
            platform::kind_of_path(grant.path) != platform::path_kind::directory) {
            if (!platform::create_folders(grant.path, failure)) {
                fell_short(result, "grants",
                           "the log folder " + grant.path + " cannot be created: " +
                               failure.message + "; the service cannot start until it exists",
                           installing);
                continue;
            }
            say_done("created the log folder " + grant.path);
        }
        if (platform::grant_access(grant.path, plan.account.sid, grant.access, failure)) {
            say_done("granted " + grant.account + " " + access_name(grant.access) + " access to " +
                     grant.path);
        } else {
            fell_short(result, "grants",
                       "could not grant " + grant.account + " " + access_name(grant.access) +
                           " access to " + grant.path + ": " + failure.message +
                           "; grant it by hand",
                       installing);
        }
    }
}

void register_source(const service_plan& plan, outcome& result, bool installing) {
    platform::system_failure failure;
    if (platform::register_event_source(plan.program, failure)) {
        say_done("registered the event log source \"orvo\" with the messages of " + plan.program);
        return;
    }
    fell_short(result, "event_source",
               "the event log source \"orvo\" is not registered: " + failure.message +
                   "; events of the service show without their text",
               installing);
}

void say_commands(const std::string& name) {
    const std::string argument = prompt_argument(name);
    say_done("start it:  sc.exe start " + argument);
    say_done("query it:  orvo-service show " + argument);
    say_done("remove it: orvo-service remove " + argument);
}

// Creates the service as the plan says, then sets every other field. False when it cannot
// be created; what the manager refuses later is said, as `refused` says it.
bool create(const service_plan& plan, platform::service_manager& manager, outcome& result,
            bool installing) {
    if (!manager.create(definition_of(plan))) {
        say_error("the service cannot be created: " + manager.failure().message);
        return false;
    }
    say_done("installed the service " + plan.name);
    say_done("  display name: " + plan.wanted.display_name);
    say_done("  command line: " + plan.wanted.command_line);
    say_done("  account: " + plan.wanted.account);
    set_optional(plan, manager, result, installing);
    if (plan.wanted.grants.empty()) {
        say_done("LocalSystem may use every file: nothing granted");
    }
    grant_all(plan, plan.wanted.grants, result, installing);
    register_source(plan, result, installing);
    say_commands(plan.name);
    return true;
}

// --- A service that exists: the fields that differ --------------------------------------

// The main fields, in one change of the manager's configuration.
void change_main_fields(const service_plan& plan, const service_fields& current,
                        platform::service_manager& manager, outcome& result) {
    const service_fields& wanted = plan.wanted;
    const std::vector<field_change>& changes = result.changes;
    platform::service_change change;
    if (has_change(changes, "command_line")) {
        change.command_line = wanted.command_line;
    }
    if (has_change(changes, "display_name")) {
        change.display_name = wanted.display_name;
    }
    if (has_change(changes, "account")) {
        change.account = wanted.account;
        // Built-in accounts take an empty password; a user's is the one read for it.
        change.password = plan.password.value_or(std::string());
    }
    if (has_change(changes, "dependencies")) {
        change.dependencies = wanted.dependencies;
    }
    const bool start = has_change(changes, "start_type");
    if (start) {
        change.start = wanted.start;
    }
    if (!change.command_line && !change.display_name && !change.account && !change.dependencies &&
        !start) {
        return;
    }
    if (!manager.change_config(plan.name, change)) {
        say_error("the service's configuration cannot be changed: " + manager.failure().message);
        for (const char* field :
             {"command_line", "display_name", "account", "dependencies", "start_type"}) {
            drop_change(result, field);
        }
        result.failed = true;
        return;
    }
    // Whether an automatic start is delayed is a part of its own.
    const bool was_delayed = current.start == platform::service_start::delayed;
    const bool delayed = wanted.start == platform::service_start::delayed;
    if (start && was_delayed != delayed && !manager.set_delayed_start(plan.name, delayed)) {
        refused(result, "start_type", "the delayed start", manager.failure(), false);
    }
}

void change_optional_fields(const service_plan& plan, platform::service_manager& manager,
                            outcome& result) {
    const service_fields& wanted = plan.wanted;
    const auto write = [&](const char* field, const char* what, auto set) {
        if (has_change(result.changes, field) && !set()) {
            refused(result, field, what, manager.failure(), false);
        }
    };
    write("description", "the description",
          [&] { return manager.set_description(plan.name, *wanted.description); });
    write("recovery", "the recovery actions",
          [&] { return manager.set_recovery(plan.name, *wanted.recovery); });
    write("recovery_on_exit_code", "recovery on a non-zero exit code",
          [&] { return manager.set_failure_flag(plan.name, *wanted.recovery_on_exit_code); });
    write("preshutdown_timeout", "the preshutdown timeout",
          [&] { return manager.set_preshutdown_timeout(plan.name, *wanted.preshutdown_timeout); });
}

// The grants the account does not hold yet, as `current` says.
std::vector<file_grant> missing_grants(const service_fields& wanted,
                                       const service_fields& current) {
    std::vector<file_grant> missing;
    for (const file_grant& grant : wanted.grants) {
        if (!grant_held(current.grants, grant)) {
            missing.push_back(grant);
        }
    }
    return missing;
}

void change_fields(const service_plan& plan, const service_fields& current,
                   platform::service_manager& manager, outcome& result) {
    change_main_fields(plan, current, manager, result);
    change_optional_fields(plan, manager, result);
    if (has_change(result.changes, "grants")) {
        grant_all(plan, missing_grants(plan.wanted, current), result, false);
    }
    if (has_change(result.changes, "event_source")) {
        register_source(plan, result, false);
    }
}

// --- What was done ----------------------------------------------------------------------

bool needs_restart(const std::vector<field_change>& changes) {
    return std::any_of(changes.begin(), changes.end(),
                       [](const field_change& change) { return change.restart_required; });
}

void say_changes(const std::string& name, const outcome& result, bool check) {
    for (const field_change& change : result.changes) {
        say_done(std::string(check ? "would change: " : "changed: ") + change.text);
    }
    if (result.changes.empty() && !result.failed) {
        say_done("the service " + name + " is as asked: nothing " +
                 (check ? "would change" : "changed"));
    }
    if (result.restart_required) {
        std::string fields;
        for (const field_change& change : result.changes) {
            if (change.restart_required) {
                fields += (fields.empty() ? "" : ", ") + change.field;
            }
        }
        say_done("restart required: the running service takes " + fields +
                 " at its next start; orvo-service neither stops nor starts it");
    }
}

void print_outcome_json(const std::string& name, const outcome& result) {
    nlohmann::ordered_json changes = nlohmann::ordered_json::array();
    for (const field_change& change : result.changes) {
        changes.push_back({{"field", change.field}, {"from", change.from}, {"to", change.to}});
    }
    nlohmann::ordered_json answer = {{"service", name},
                                     {"changed", !result.changes.empty()},
                                     {"changes", changes},
                                     {"restart_required", result.restart_required},
                                     {"warnings", gathered_warnings()}};
    if (!gathered_error().empty()) {
        answer["error"] = gathered_error();
    }
    print_json(answer);
}

// The JSON answer of a command that stopped before its end; nothing in text mode, where
// each error has been said as it came.
int refusal() {
    if (speaking_json()) {
        print_json_error();
    }
    return 1;
}

// Reads the password where a user account is about to be written with it.
bool read_password(const install_request& request, service_plan& plan) {
    if (!request.password_prompt) {
        return true;
    }
    plan.password = platform::read_secret("password of " + plan.account.name + ": ");
    if (!plan.password) {
        say_error("no password could be read; " + plan.nothing_done);
        return false;
    }
    return true;
}

// A service that exists, made as the plan says, or with --check only compared.
int converge(const service_plan& plan, const install_request& request, bool check,
             platform::service_manager& manager, const platform::service_view& view) {
    service_fields current = current_fields(view, plan.wanted.grants, plan.account.sid);
    // Two names of one account ("MACHINE\user", ".\user") are the same account.
    platform::resolved_account held;
    platform::system_failure failure;
    if (!same_text(current.account, plan.wanted.account) &&
        platform::resolve_account(current.account, held, failure) && held.sid == plan.account.sid) {
        current.account = plan.wanted.account;
    }
    outcome result;
    result.changes = changed_fields(plan.wanted, &current);
    const std::vector<std::string> untold = untold_fields(plan.wanted, current);
    if (!untold.empty()) {
        std::string names;
        for (const std::string& name : untold) {
            names += (names.empty() ? "" : ", ") + name;
        }
        say_warning("this system does not tell back the " + names +
                    " of a service: taken as asked, and not written again");
    }
    service_plan with_password = plan;
    if (request.password_prompt && !has_change(result.changes, "account")) {
        say_warning("the account is as asked, and a password cannot be compared: it was "
                    "neither asked for nor written (sc.exe config " +
                    prompt_argument(plan.name) + " password= ... changes it)");
    } else if (!check && has_change(result.changes, "account") &&
               !read_password(request, with_password)) {
        return refusal();
    }
    if (!check) {
        change_fields(with_password, current, manager, result);
    }
    result.restart_required =
        view.state != platform::service_stopped && needs_restart(result.changes);
    if (speaking_json()) {
        print_outcome_json(plan.name, result);
    } else {
        say_changes(plan.name, result, check);
    }
    return result.failed ? 1 : 0;
}

// A service that does not exist yet, installed as install installs it.
int create_new(service_plan& plan, const install_request& request, bool check, bool installing,
               platform::service_manager& manager) {
    outcome result;
    result.changes = changed_fields(plan.wanted, nullptr);
    if (check) {
        say_done("would install the service " + plan.name);
        say_changes(plan.name, result, true);
    } else if (!read_password(request, plan) || !create(plan, manager, result, installing)) {
        return refusal();
    }
    if (speaking_json()) {
        print_outcome_json(plan.name, result);
    }
    return result.failed ? 1 : 0;
}

// The refusals that need the manager: a name taken by a service that is not orvo's (or,
// for install, by any), dependencies that do not exist, the warnings with --strict.
bool may_go_on(const install_request& request, const service_plan& plan, bool installing,
               platform::service_manager& manager,
               std::optional<platform::service_view>& existing) {
    if (!opened(manager)) {
        return false;
    }
    platform::service_view view;
    if (manager.query(request.name, view)) {
        if (installing) {
            say_error("a service \"" + request.name +
                      "\" exists already; remove it first (orvo-service remove " +
                      prompt_argument(request.name) + ") or choose another name");
            return false;
        }
        if (!settings_of_command_line(view.command_line)) {
            say_error("the service \"" + request.name + "\" does not run orvo.exe (" +
                      view.command_line + "): " + plan.nothing_done);
            return false;
        }
        existing = view;
    } else if (manager.exists(request.name)) {
        say_unreadable(request.name, manager.failure());
        return false;
    }
    return dependencies_exist(request, manager) && say_plan_warnings(request, plan);
}

int install_or_apply(const install_request& request, bool check, bool installing) {
    service_plan plan;
    if (!installing) {
        plan.nothing_done = check ? "nothing would change" : "nothing was changed";
    }
    if (!plan_service(request, plan)) {
        return refusal();
    }
    // Comparing needs no right to change anything.
    platform::service_manager manager(!check);
    std::optional<platform::service_view> existing;
    if (!may_go_on(request, plan, installing, manager, existing)) {
        return refusal();
    }
    return existing ? converge(plan, request, check, manager, *existing)
                    : create_new(plan, request, check, installing, manager);
}

} // namespace

int install_service(const install_request& request) {
    return install_or_apply(request, false, true);
}

int apply_service(const install_request& request, bool check) {
    return install_or_apply(request, check, false);
}
