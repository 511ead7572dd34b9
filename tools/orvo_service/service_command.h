// orvo-service's command line, and the parts of its work that need no system call: the
// service's command line and description, the account, the recovery and the preshutdown
// timeout that an install sets up, and how a registered service is shown.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/service_manager.h"
#include "settings/settings.h"

extern const char service_usage[];

struct install_request {
    std::string name;
    std::string settings_path;
    std::optional<std::string> display_name;
    std::optional<std::string> description;
    platform::service_start start = platform::service_start::automatic;
    std::optional<std::string> account; // empty: the service's own virtual account
    bool password_prompt = false;
    std::vector<std::string> dependencies;
    bool recovery = true;
    bool force = false;  // install even when the Java VM library cannot be loaded
    bool strict = false; // refuse when there is anything to warn about
};

struct service_command {
    enum class action { help, install, apply, remove, show } what = action::help;
    install_request install; // the name of every action is install.name
    bool check = false;      // apply: say what would change, change nothing
    bool json = false;       // apply, show: one JSON object on standard output
    bool kill = false;       // remove: end a process that does not stop
};

// True when the command line is one of apply or show with --json, so that even a usage
// error is answered in JSON.
bool wants_json(int argc, const char* const* argv);

// False for a usage error, with `problem` saying what is wrong.
bool parse_service_command(int argc, const char* const* argv, service_command& command,
                           std::string& problem);

// Equal but for the case of ASCII letters, as Windows compares names and paths.
bool same_text(const std::string& a, const std::string& b);

// The account the service runs as when none is given: its own virtual account, which has
// no password and no rights beyond those granted to it.
std::string default_account(const std::string& name);

// True for LocalSystem, LocalService, NetworkService and NT SERVICE\... accounts, which
// have no password.
bool is_built_in_account(const std::string& account);

// "\"PROGRAM\" \"SETTINGS\"": both paths always quoted, so that no part of a path with
// spaces can be taken for a program of its own.
std::string service_command_line(const std::string& program, const std::string& settings_path);

// The arguments of a command line, split as the C runtime splits it (quotes, and the
// backslashes before a quote).
std::vector<std::string> split_command_line(const std::string& line);

// `name` as a command prompt takes it as one argument: quoted when it has a space.
std::string prompt_argument(const std::string& name);

// True when `program` names a file called orvo.exe, in any case.
bool runs_orvo(const std::string& program);

// "Runs org.example.Server with orvo": the class as Java names it, dotted.
std::string default_description(const std::string& class_name);

// Restart after 5 s, again after 5 s, then nothing; the count starts again after a day.
platform::failure_actions default_recovery();

// What Windows is to wait for at shutdown: the stop's own limit and 10 s for the JVM to
// go down and the reports to reach the manager; nothing without a stop_timeout.
std::optional<std::uint32_t> preshutdown_timeout(const settings_record& record);

// "stopped", "start pending", ... for a state as the manager reports it.
const char* state_name(std::uint32_t state);

// One readable view of a registered service: what `sc qc`, `sc qfailure` and
// `sc queryex` show, in one; the last exit code with the system's words for it
// (`exit_code_words`), and what it means for orvo, with where the reason was written
// (`stderr_log`: the service's, in full, or empty when its settings cannot be read).
void print_service(std::ostream& out, const std::string& name, const platform::service_view& view,
                   const std::string& exit_code_words, const std::string& stderr_log);

// The files and folders whose content the service runs as code or configuration: the
// settings file, the Java VM library, and the class path's items (the folder of an item
// ending in "*" and the jars found in it). Each once, in that order.
std::vector<std::string> files_run_as_code(const settings_record& record,
                                           const std::string& settings_path);

// What becomes of the event log source "orvo" once a service is removed, given the message
// file it is registered with and the command lines of the services that remain: it stays
// while another service runs that orvo.exe, is pointed at another orvo.exe that a service
// still runs, and goes when none does. A source that names no orvo.exe is not orvo's to
// change.
struct event_source_change {
    enum class action { keep, repoint, remove } what = action::keep;
    std::string message_file; // for repoint
};
event_source_change event_source_after_removal(const std::string& message_file,
                                               const std::vector<std::string>& other_command_lines);
