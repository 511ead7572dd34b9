// Installing, reading back and removing services of the Windows service control manager,
// and the event log source of their host. Used by orvo-service, which exists only on
// Windows: the types are portable (so that what is shown can be tested anywhere), the
// functions are implemented by win/service_manager.cpp alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The code of a failure that names a service the manager does not have
// (ERROR_SERVICE_DOES_NOT_EXIST), which the tools say in their own words.
constexpr std::uint32_t error_service_does_not_exist = 1060;

// A failed system call: its error code and the system's words for it.
struct system_failure {
    std::uint32_t code = 0;
    std::string message; // "Access is denied (error 5)"
};

enum class service_start { automatic, delayed, manual, disabled };

struct recovery_action {
    bool restart = false; // false: take no action
    std::uint32_t delay_ms = 0;
};

struct failure_actions {
    std::uint32_t reset_seconds = 0;
    std::vector<recovery_action> actions;
};

// What a new service is created with; the optional settings are set one by one afterwards.
struct service_definition {
    std::string name;
    std::string display_name;
    std::string command_line;
    std::string account; // as the manager takes it: "LocalSystem", "NT SERVICE\NAME", ...
    std::optional<std::string> password;
    // A delayed start is created as an automatic one; set_delayed_start() makes it delayed.
    service_start start = service_start::automatic;
    std::vector<std::string> dependencies;
};

// The main fields of an existing service to change; each one left empty stays as it is.
struct service_change {
    std::optional<std::string> display_name;
    std::optional<std::string> command_line;
    std::optional<std::string> account;
    std::optional<std::string> password; // the account's, given with it
    // Delayed is changed as automatic; set_delayed_start() says whether it is delayed.
    std::optional<service_start> start;
    std::optional<std::vector<std::string>> dependencies;
};

// What the manager holds for a service. An optional part is empty where the manager
// would not say (older systems and Wine know fewer of them).
struct service_view {
    std::string display_name;
    std::string command_line;
    std::string account;
    std::optional<std::string> description;
    service_start start = service_start::manual;
    // False for an automatic start of which the manager would not say whether it is
    // delayed (Wine knows no delayed start).
    bool delayed_start_told = true;
    std::vector<std::string> dependencies;
    std::optional<failure_actions> recovery;
    std::optional<bool> failure_flag;
    std::optional<std::uint32_t> preshutdown_ms;
    std::uint32_t state = 0; // SERVICE_STOPPED (1) ... as the status reports it
    std::uint32_t win32_exit_code = 0;
    std::uint32_t specific_exit_code = 0;
    std::uint32_t process_id = 0;
};

// The local service control manager, opened once for the program's run.
class service_manager {
  public:
    // Opens it; `for_changes` asks for the right to create services, which only an
    // administrator has. Check opened() afterwards; failure() says why not.
    explicit service_manager(bool for_changes);
    ~service_manager();
    service_manager(const service_manager&) = delete;
    service_manager& operator=(const service_manager&) = delete;

    bool opened() const { return handle_ != nullptr; }
    const system_failure& failure() const { return failure_; }

    bool exists(const std::string& name);
    // Each of these is false on failure, with failure() saying why.
    bool create(const service_definition& definition);
    bool set_description(const std::string& name, const std::string& description);
    // Changes the fields that `change` holds.
    bool change_config(const std::string& name, const service_change& change);
    bool set_delayed_start(const std::string& name, bool delayed);
    bool set_recovery(const std::string& name, const failure_actions& actions);
    bool set_failure_flag(const std::string& name, bool on_non_crash_failures);
    bool set_preshutdown_timeout(const std::string& name, std::uint32_t milliseconds);
    bool query(const std::string& name, service_view& view);
    // Asks a running service to stop and waits until it has stopped, at most `limit_ms`;
    // true once it is stopped (at once when it was). A wait that runs out is a failure
    // with the code ERROR_SERVICE_REQUEST_TIMEOUT.
    bool stop(const std::string& name, std::uint32_t limit_ms);
    // Deletes the service, at once when it has no process, else once its process has ended
    // (until then the name stays taken, and a second remove fails with
    // ERROR_SERVICE_MARKED_FOR_DELETE).
    bool remove(const std::string& name);
    // The command lines of every other service of the system.
    std::vector<std::string> other_command_lines(const std::string& name);

  private:
    void* handle_ = nullptr;
    system_failure failure_;
};

// Ends the process `process_id` at once, as Task Manager's "End task" does, and waits up to
// `limit_ms` for it to be gone. False on failure, with `failure` set.
bool end_process(std::uint32_t process_id, std::uint32_t limit_ms, system_failure& failure);

// The event log source under which orvo.exe reports its own failures (see event_log.h):
// registered with `message_file` (the orvo.exe whose message table gives the events their
// text) for the Application log. False on failure, with `failure` set.
bool register_event_source(const std::string& message_file, system_failure& failure);
// The message file the source is registered with; empty when it is not registered.
std::string event_source_message_file();
bool remove_event_source(system_failure& failure);

} // namespace platform
