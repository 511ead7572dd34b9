// Runs several start-to-exit commands side by side, interleaved round by round, and reports
// each one's wall time, CPU time and peak memory (from wait4's resource usage). A command of
// kind "notify" is run the way systemd runs a Type=notify service: NOTIFY_SOCKET names a
// datagram socket of the driver's, SIGTERM is sent as soon as READY=1 arrives, and the run
// ends when the process has exited after its stopped report. A command of kind "plain" just
// runs to its end. Written in C++ rather than a script so that the driver's own reaction
// time stays out of the figures.
//
//   orvo-startup-driver [--runs N] [--warmup N] [--timeout SECONDS] [--compare A B]...
//                       --out DIR -- NAME KIND COMMAND... [-- NAME KIND COMMAND...]...
//
// COMMAND starts with the program's path (there is no PATH search). A plain command's
// standard output and error are appended to DIR/NAME-stdout.log and DIR/NAME-stderr.log; a
// notify command's go to DIR/NAME-console.log (orvo redirects its own to the logs of its
// settings). Every measured run is written to DIR/runs.tsv.
// Exit status 0 when every run succeeded, 1 when one failed, 2 for a usage error.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <utility>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct command {
    std::string name;
    bool notify = false;
    std::vector<std::string> arguments;
};

// Times are in milliseconds from just before the spawn. For notify commands, the moments
// at which the reports arrived split the cycle into its phases; -1 where none arrived.
struct run_result {
    double wall_ms = 0;
    double cpu_ms = 0; // user and system time of the process, all its threads
    long maxrss_kib = 0;
    double first_report_ms = -1;
    double ready_ms = -1;
    double stopping_ms = -1;
    double stopped_ms = -1;
};

struct options {
    int runs = 15;
    int warmup = 1;
    int timeout_seconds = 120;
    std::string out;
    std::vector<std::pair<std::string, std::string>> comparisons;
    std::vector<command> commands;
};

[[noreturn]] void usage() {
    std::cerr << "usage: orvo-startup-driver [--runs N] [--warmup N] [--timeout SECONDS]\n"
                 "           [--compare A B]... --out DIR -- NAME notify|plain COMMAND...\n"
                 "           [-- NAME notify|plain COMMAND...]...\n";
    std::exit(2);
}

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "orvo-startup-driver: " << message << '\n';
    std::exit(1);
}

int whole_number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 100000) {
        usage();
    }
    return static_cast<int>(value);
}

options parse_options(int argc, char** argv) {
    options parsed;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string flag = argv[i];
        if (flag == "--runs" && i + 1 < argc) {
            parsed.runs = whole_number(argv[++i]);
        } else if (flag == "--warmup" && i + 1 < argc) {
            parsed.warmup = whole_number(argv[++i]);
        } else if (flag == "--timeout" && i + 1 < argc) {
            parsed.timeout_seconds = whole_number(argv[++i]);
        } else if (flag == "--out" && i + 1 < argc) {
            parsed.out = argv[++i];
        } else if (flag == "--compare" && i + 2 < argc) {
            parsed.comparisons.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else {
            usage();
        }
    }
    while (i < argc) {
        ++i; // the "--" before each command
        command next;
        for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
            next.arguments.emplace_back(argv[i]);
        }
        if (next.arguments.size() < 3 ||
            (next.arguments[1] != "notify" && next.arguments[1] != "plain")) {
            usage();
        }
        next.name = next.arguments[0];
        next.notify = next.arguments[1] == "notify";
        next.arguments.erase(next.arguments.begin(), next.arguments.begin() + 2);
        parsed.commands.push_back(next);
    }
    if (parsed.out.empty() || parsed.commands.empty() || parsed.runs == 0) {
        usage();
    }
    return parsed;
}

double now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int open_append(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot open " + path + ": " + std::strerror(errno));
    }
    return fd;
}

// Everything a spawn needs, prepared before the clock starts.
class spawn_setup {
public:
    spawn_setup(const command& what, const std::string& out, const std::string& notify_path) {
        for (const std::string& argument : what.arguments) {
            argv_.push_back(const_cast<char*>(argument.c_str()));
        }
        argv_.push_back(nullptr);
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, "NOTIFY_SOCKET=", 14) != 0) {
                env_.push_back(*entry);
            }
        }
        if (what.notify) {
            notify_entry_ = "NOTIFY_SOCKET=" + notify_path;
            env_.push_back(const_cast<char*>(notify_entry_.c_str()));
            stdout_fd_ = open_append(out + "/" + what.name + "-console.log");
            stderr_fd_ = stdout_fd_;
        } else {
            stdout_fd_ = open_append(out + "/" + what.name + "-stdout.log");
            stderr_fd_ = open_append(out + "/" + what.name + "-stderr.log");
        }
        env_.push_back(nullptr);
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, stdout_fd_, 1);
        posix_spawn_file_actions_adddup2(&actions_, stderr_fd_, 2);
    }
    spawn_setup(const spawn_setup&) = delete;
    spawn_setup& operator=(const spawn_setup&) = delete;
    ~spawn_setup() {
        posix_spawn_file_actions_destroy(&actions_);
        if (stderr_fd_ != stdout_fd_) {
            close(stderr_fd_);
        }
        close(stdout_fd_);
    }

    pid_t spawn() {
        pid_t pid = 0;
        const int error = posix_spawn(&pid, argv_[0], &actions_, nullptr, argv_.data(),
                                      env_.data());
        if (error != 0) {
            fail(std::string("cannot start ") + argv_[0] + ": " + std::strerror(error));
        }
        return pid;
    }

private:
    std::vector<char*> argv_;
    std::vector<char*> env_;
    std::string notify_entry_;
    int stdout_fd_ = -1;
    int stderr_fd_ = -1;
    posix_spawn_file_actions_t actions_{};
};

// The exit of the measured process: status and its own resource usage.
void reap(pid_t pid, const std::string& name, run_result& result, double start) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        fail("wait4 failed for " + name + ": " + std::strerror(errno));
    }
    result.wall_ms = now_ms() - start;
    result.maxrss_kib = usage.ru_maxrss;
    result.cpu_ms = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ostringstream text;
        text << name << " ended with ";
        if (WIFSIGNALED(status)) {
            text << "signal " << WTERMSIG(status);
        } else {
            text << "exit status " << WEXITSTATUS(status);
        }
        fail(text.str());
    }
}

run_result run_plain(const command& what, const std::string& out) {
    spawn_setup setup(what, out, "");
    run_result result;
    const double start = now_ms();
    const pid_t pid = setup.spawn();
    reap(pid, what.name, result, start);
    return result;
}

std::map<std::string, std::string> parse_report(const char* data, size_t length) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(std::string(data, length));
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return fields;
}

class notify_socket {
public:
    explicit notify_socket(const std::string& path) : path_(path) {
        sockaddr_un address{};
        if (path.size() >= sizeof address.sun_path) {
            fail("socket path too long: " + path);
        }
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) {
            fail(std::string("socket: ") + std::strerror(errno));
        }
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        unlink(path.c_str());
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            fail("bind " + path + ": " + std::strerror(errno));
        }
    }
    notify_socket(const notify_socket&) = delete;
    notify_socket& operator=(const notify_socket&) = delete;
    ~notify_socket() {
        close(fd_);
        unlink(path_.c_str());
    }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Drops whatever an earlier run left behind.
    void drain() {
        char buffer[4096];
        while (recv(fd_, buffer, sizeof buffer, 0) > 0) {
        }
    }

private:
    std::string path_;
    int fd_ = -1;
};

run_result run_notify(const command& what, const std::string& out, notify_socket& reports,
                      int timeout_seconds) {
    spawn_setup setup(what, out, reports.path());
    reports.drain();
    run_result result;
    const double start = now_ms();
    const pid_t pid = setup.spawn();
    // A pidfd turns "the process has exited" into something poll can wait for beside the
    // socket, so that a process that dies without a stopped report ends the run too.
    const int process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (process < 0) {
        fail(std::string("pidfd_open: ") + std::strerror(errno));
    }
    bool sent_stop = false;
    bool stopped = false;
    bool exited = false;
    std::string exit_code;
    const double deadline = start + timeout_seconds * 1e3;
    char buffer[4096];
    while (!stopped || !exited) {
        pollfd watched[2] = {{reports.fd(), POLLIN, 0}, {process, POLLIN, 0}};
        const int wait = static_cast<int>(std::max(0.0, deadline - now_ms()));
        const int ready = poll(watched, 2, wait);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            fail(what.name + " did not finish within " + std::to_string(timeout_seconds) + " s");
        }
        ssize_t length = 0;
        while ((length = recv(reports.fd(), buffer, sizeof buffer, 0)) > 0) {
            const double at = now_ms() - start;
            const auto fields = parse_report(buffer, static_cast<size_t>(length));
            if (result.first_report_ms < 0) {
                result.first_report_ms = at;
            }
            if (fields.count("READY") != 0 && fields.at("READY") == "1") {
                result.ready_ms = at;
                if (!sent_stop) {
                    kill(pid, SIGTERM);
                    sent_stop = true;
                }
            }
            if (fields.count("STOPPING") != 0 && fields.at("STOPPING") == "1") {
                result.stopping_ms = at;
            }
            const auto state = fields.find("X_ORVO_STATE");
            if (state != fields.end() && state->second == "1") {
                result.stopped_ms = at;
                stopped = true;
                const auto code = fields.find("X_ORVO_EXIT_CODE");
                exit_code = code == fields.end() ? "(none)" : code->second;
            }
        }
        if ((watched[1].revents & POLLIN) != 0) {
            exited = true;
            // Every report sent before the exit was queued before poll saw the exit, so the
            // pass above has read it: no stopped report by now means none will come.
            if (!stopped) {
                break;
            }
        }
    }
    close(process);
    reap(pid, what.name, result, start);
    if (!sent_stop) {
        fail(what.name + " never reported running (READY=1)");
    }
    if (!stopped) {
        fail(what.name + " exited without a stopped report");
    }
    if (exit_code != "0") {
        fail(what.name + " reported stopped with exit code " + exit_code);
    }
    return result;
}

struct spread {
    double median = 0;
    double q1 = 0;
    double q3 = 0;
    double min = 0;
    double max = 0;
};

// Quartiles by linear interpolation between order statistics.
spread spread_of(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    auto at = [&values](double fraction) {
        const double position = fraction * static_cast<double>(values.size() - 1);
        const auto below = static_cast<size_t>(std::floor(position));
        const size_t above = std::min(below + 1, values.size() - 1);
        const double weight = position - static_cast<double>(below);
        return values[below] * (1 - weight) + values[above] * weight;
    };
    return {at(0.5), at(0.25), at(0.75), values.front(), values.back()};
}

template <typename Field>
std::vector<double> column(const std::vector<run_result>& runs, Field field) {
    std::vector<double> values;
    for (const run_result& run : runs) {
        values.push_back(field(run));
    }
    return values;
}

void print_spread(const char* label, const spread& s, const char* unit, int decimals) {
    std::printf("    %-22s median %9.*f %s   IQR %9.*f .. %-9.*f  min %9.*f  max %9.*f\n", label,
                decimals, s.median, unit, decimals, s.q1, decimals, s.q3, decimals, s.min,
                decimals, s.max);
}

template <typename Field>
void print_column(const char* label, const std::vector<run_result>& runs, Field field,
                  const char* unit, int decimals) {
    print_spread(label, spread_of(column(runs, field)), unit, decimals);
}

void print_summary(const command& what, const std::vector<run_result>& runs) {
    std::printf("\n  %s (%s)\n", what.name.c_str(), what.notify ? "notify" : "plain");
    print_column("wall time", runs, [](const run_result& r) { return r.wall_ms; }, "ms ", 1);
    print_column("CPU time", runs, [](const run_result& r) { return r.cpu_ms; }, "ms ", 1);
    print_column("peak memory", runs,
                 [](const run_result& r) { return static_cast<double>(r.maxrss_kib); }, "KiB",
                 0);
    if (!what.notify) {
        return;
    }
    // The cycle's phases, between the moments at which the reports arrived.
    std::printf("    phases:\n");
    print_column("spawn -> first report", runs,
                 [](const run_result& r) { return r.first_report_ms; }, "ms ", 1);
    print_column("first report -> READY", runs,
                 [](const run_result& r) { return r.ready_ms - r.first_report_ms; }, "ms ", 1);
    print_column("READY -> STOPPING", runs,
                 [](const run_result& r) { return r.stopping_ms - r.ready_ms; }, "ms ", 1);
    print_column("STOPPING -> stopped", runs,
                 [](const run_result& r) { return r.stopped_ms - r.stopping_ms; }, "ms ", 1);
    print_column("stopped -> exit", runs,
                 [](const run_result& r) { return r.wall_ms - r.stopped_ms; }, "ms ", 1);
}

void print_comparison(const std::string& a_name, const std::vector<run_result>& a,
                      const std::string& b_name, const std::vector<run_result>& b) {
    const auto wall = [](const run_result& r) { return r.wall_ms; };
    const auto memory = [](const run_result& r) { return static_cast<double>(r.maxrss_kib); };
    const double ratio = spread_of(column(a, wall)).median / spread_of(column(b, wall)).median;
    const double difference =
        spread_of(column(a, memory)).median - spread_of(column(b, memory)).median;
    // Interleaving makes each round a pair run under the same conditions.
    std::vector<double> paired;
    for (size_t round = 0; round < a.size(); ++round) {
        paired.push_back(a[round].wall_ms / b[round].wall_ms);
    }
    const spread pair = spread_of(paired);
    std::printf("\n  %s against %s:\n", a_name.c_str(), b_name.c_str());
    std::printf("    wall time, ratio of medians      %.3f\n", ratio);
    std::printf("    wall time, per-round ratio       median %.3f  IQR %.3f .. %.3f  "
                "min %.3f  max %.3f\n",
                pair.median, pair.q1, pair.q3, pair.min, pair.max);
    std::printf("    peak memory, median difference   %+.0f KiB\n", difference);
    // For scripts: one line of key=value pairs.
    std::printf("compare %s %s wall_ratio=%.4f paired_ratio=%.4f rss_difference_kib=%.0f\n",
                a_name.c_str(), b_name.c_str(), ratio, pair.median, difference);
}

size_t index_of(const options& chosen, const std::string& name) {
    for (size_t i = 0; i < chosen.commands.size(); ++i) {
        if (chosen.commands[i].name == name) {
            return i;
        }
    }
    fail("--compare names a command that is not run: " + name);
}

} // namespace

int main(int argc, char** argv) {
    const options chosen = parse_options(argc, argv);
    std::optional<notify_socket> reports;
    for (const command& what : chosen.commands) {
        if (what.notify && !reports) {
            reports.emplace(chosen.out + "/notify.sock");
        }
    }
    for (const auto& pair : chosen.comparisons) {
        index_of(chosen, pair.first);
        index_of(chosen, pair.second);
    }

    std::vector<std::vector<run_result>> results(chosen.commands.size());
    std::ofstream table(chosen.out + "/runs.tsv");
    table << "round\tname\twall_ms\tcpu_ms\tmaxrss_kib\tfirst_report_ms\tready_ms\t"
             "stopping_ms\tstopped_ms\n";
    for (int round = 1 - chosen.warmup; round <= chosen.runs; ++round) {
        for (size_t i = 0; i < chosen.commands.size(); ++i) {
            const command& what = chosen.commands[i];
            const run_result result =
                what.notify ? run_notify(what, chosen.out, *reports, chosen.timeout_seconds)
                            : run_plain(what, chosen.out);
            if (round < 1) {
                continue; // warm-up: files into the page cache, and proof that all runs work
            }
            results[i].push_back(result);
            table << round << '\t' << what.name << '\t' << result.wall_ms << '\t'
                  << result.cpu_ms << '\t' << result.maxrss_kib << '\t'
                  << result.first_report_ms << '\t' << result.ready_ms << '\t'
                  << result.stopping_ms << '\t' << result.stopped_ms << '\n';
        }
    }
    table.close();

    std::printf("%d measured runs each (after %d warm-up round%s), interleaved by round\n",
                chosen.runs, chosen.warmup, chosen.warmup == 1 ? "" : "s");
    for (size_t i = 0; i < chosen.commands.size(); ++i) {
        print_summary(chosen.commands[i], results[i]);
    }
    for (const auto& pair : chosen.comparisons) {
        print_comparison(pair.first, results[index_of(chosen, pair.first)], pair.second,
                         results[index_of(chosen, pair.second)]);
    }
    return 0;
}
