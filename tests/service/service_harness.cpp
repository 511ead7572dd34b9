#include "tests/service/service_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace orvo_test {

namespace {

// Only a guard against a hang: every wait ends on a real event long before.
constexpr int guard_milliseconds = 180 * 1000;

report parse_report(const std::string& datagram) {
    report parsed;
    for (const std::string& line : lines_of(datagram)) {
        const std::string::size_type equals = line.find('=');
        if (equals != std::string::npos) {
            parsed.fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return parsed;
}

std::vector<std::string> environment_with(const std::string& notify_socket) {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "NOTIFY_SOCKET=", 14) != 0) {
            variables.emplace_back(*variable);
        }
    }
    if (!notify_socket.empty()) {
        variables.push_back("NOTIFY_SOCKET=" + notify_socket);
    }
    return variables;
}

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

long report::number(const std::string& key) const {
    const auto found = fields.find(key);
    return found == fields.end() ? -1 : std::stol(found->second);
}

notify_listener::notify_listener(std::string path) : path_(std::move(path)) {
    socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_ < 0 || path_.size() >= sizeof address.sun_path) {
        throw std::runtime_error("cannot make the notify socket " + path_);
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind the notify socket " + path_);
    }
}

notify_listener::~notify_listener() {
    close(socket_);
    unlink(path_.c_str());
}

std::optional<report> notify_listener::next(const service_process* sender) {
    // A report sent before the sender ended is queued already when its end is seen.
    pollfd waiting[2] = {{socket_, POLLIN, 0}, {sender ? sender->pidfd() : -1, POLLIN, 0}};
    int ready;
    do {
        ready = poll(waiting, 2, guard_milliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || (waiting[0].revents & POLLIN) == 0) {
        return std::nullopt;
    }
    char datagram[4096];
    const ssize_t size = recv(socket_, datagram, sizeof datagram, 0);
    if (size < 0) {
        return std::nullopt;
    }
    return parse_report(std::string(datagram, static_cast<std::size_t>(size)));
}

void notify_listener::remove() {
    unlink(path_.c_str());
}

void notify_listener::stall() {
    const int filler = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    const char junk[] = "X_ORVO_TEST_FILLER=1";
    while (sendto(filler, junk, sizeof junk - 1, MSG_DONTWAIT,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0) {
    }
    close(filler);
}

service_process::service_process(const std::vector<std::string>& arguments,
                                 const std::string& notify_socket, const std::string& console_out,
                                 const std::string& console_err) {
    std::vector<std::string> argv_strings{ORVO_EXECUTABLE};
    argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environment_with(notify_socket);
    std::vector<char*> argv = pointers_to(argv_strings);
    std::vector<char*> envp = pointers_to(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, console_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, console_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + argv_strings[0]);
    }
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
}

service_process::~service_process() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
        wait();
    }
    close(pidfd_);
}

void service_process::signal(int number) const {
    kill(pid_, number);
}

bool service_process::signal_pending(int number) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 7, "ShdPnd:") == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1) & 1) != 0;
        }
    }
    return false;
}

int service_process::wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

creation_watch::creation_watch(const std::string& folder, std::string name)
    : name_(std::move(name)) {
    inotify_ = inotify_init1(IN_CLOEXEC);
    if (inotify_ < 0 || inotify_add_watch(inotify_, folder.c_str(), IN_CREATE) < 0) {
        throw std::runtime_error("cannot watch " + folder);
    }
}

creation_watch::~creation_watch() {
    close(inotify_);
}

bool creation_watch::wait() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        pollfd waiting{inotify_, POLLIN, 0};
        if (poll(&waiting, 1, guard_milliseconds) <= 0) {
            return false;
        }
        const ssize_t size = read(inotify_, buffer, sizeof buffer);
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && name_ == event->name) {
                return true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

bool wait_for_writes(const std::string& folder, const std::function<bool()>& done) {
    const int inotify = inotify_init1(IN_CLOEXEC);
    if (inotify < 0 || inotify_add_watch(inotify, folder.c_str(), IN_CREATE | IN_MODIFY) < 0) {
        throw std::runtime_error("cannot watch " + folder);
    }
    alignas(inotify_event) char buffer[4096];
    bool held = done();
    for (pollfd waiting{inotify, POLLIN, 0}; !held && poll(&waiting, 1, guard_milliseconds) > 0;) {
        const ssize_t drained = read(inotify, buffer, sizeof buffer);
        static_cast<void>(drained);
        held = done();
    }
    close(inotify);
    return held;
}

std::vector<report> reports_until_stopped(notify_listener& listener,
                                          const service_process* sender) {
    std::vector<report> reports;
    while (std::optional<report> next = listener.next(sender)) {
        reports.push_back(*next);
        if (next->state() == 1) {
            break;
        }
    }
    return reports;
}

std::string descriptor_target(pid_t pid, int descriptor) {
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(descriptor);
    char target[4096];
    const ssize_t size = readlink(link.c_str(), target, sizeof target);
    return size < 0 ? std::string() : std::string(target, static_cast<std::size_t>(size));
}

void release(const std::string& path) {
    std::ofstream(path) << "go\n";
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace orvo_test
