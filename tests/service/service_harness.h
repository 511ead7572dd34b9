// A small service manager for the Linux process tests: it owns the notify socket, starts
// orvo with NOTIFY_SOCKET pointing at it, reads the status reports and sends signals.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvo_test {

// One status report: its KEY=VALUE lines.
struct report {
    std::map<std::string, std::string> fields;

    // The numeric value of `key`; -1 when the report lacks it.
    long number(const std::string& key) const;
    long state() const { return number("X_ORVO_STATE"); }
    bool has(const std::string& key) const { return fields.count(key) != 0; }
};

class service_process;

// A bound datagram socket at `path` that receives the reports.
class notify_listener {
  public:
    explicit notify_listener(std::string path);
    ~notify_listener();
    notify_listener(const notify_listener&) = delete;
    notify_listener& operator=(const notify_listener&) = delete;

    const std::string& path() const { return path_; }
    // The next report; nothing when none arrives within the guard time (a hang), or, with
    // `sender`, once that process has ended and no report of its is left.
    std::optional<report> next(const service_process* sender = nullptr);
    // Removes the socket's file, so that further reports cannot be sent.
    void remove();
    // Fills the socket's queue, as a service manager that stops reading would leave it: a
    // report then waits for room until its sender gives up.
    void stall();

  private:
    std::string path_;
    int socket_ = -1;
};

// orvo, started with `arguments` (without the program name) and NOTIFY_SOCKET set to
// `notify_socket` (unset when empty). Its own standard output and error go to the files
// `console_out` and `console_err`.
class service_process {
  public:
    service_process(const std::vector<std::string>& arguments, const std::string& notify_socket,
                    const std::string& console_out, const std::string& console_err);
    ~service_process();
    service_process(const service_process&) = delete;
    service_process& operator=(const service_process&) = delete;

    pid_t pid() const { return pid_; }
    // Readable once the process has ended.
    int pidfd() const { return pidfd_; }
    void signal(int number) const;
    // Whether a signal sent to the process is still waiting to be taken by one of its
    // threads.
    bool signal_pending(int number) const;
    // Waits for the process's end; its exit status, or -1 when a signal ended it.
    int wait();

  private:
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool reaped_ = false;
};

// Watches a folder for the creation of one file (inotify), so that a test can act at the
// moment a service creates its log.
class creation_watch {
  public:
    creation_watch(const std::string& folder, std::string name);
    ~creation_watch();
    creation_watch(const creation_watch&) = delete;
    creation_watch& operator=(const creation_watch&) = delete;

    // Waits until the file has been created since the watch began; false after the guard
    // time (a hang).
    bool wait();

  private:
    int inotify_ = -1;
    std::string name_;
};

// Waits until `done()` holds, looking again whenever a file in `folder` is created or
// written; false after the guard time (a hang).
bool wait_for_writes(const std::string& folder, const std::function<bool()>& done);

// Reads reports until the service says stopped (or nothing more comes, or `sender` has
// ended); all of them.
std::vector<report> reports_until_stopped(notify_listener& listener,
                                          const service_process* sender = nullptr);

// Where the target of `/proc/PID/fd/N` points.
std::string descriptor_target(pid_t pid, int descriptor);

// Opens the named pipe at `path` for writing and writes one line, which releases a Probe
// method that waits for it.
void release(const std::string& path);

// The lines of `text`, split at "\n" (a final empty piece dropped).
std::vector<std::string> lines_of(const std::string& text);

} // namespace orvo_test
