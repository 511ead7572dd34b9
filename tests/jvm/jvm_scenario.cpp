// One run of the Java host against a real Java VM, the way the service runs it: the VM is
// created and the server started on one thread, which then stays alive and waits; the
// server is stopped and the VM destroyed from the main thread. A process can create only
// one VM, so each scenario is a process of its own (started by jvm_host_test).
//
//   jvm_scenario SETTINGS_FILE [--param-hex HEX]... [--own-signal-handlers]
//                [--report-signal-handlers]
//
// --param-hex appends a start parameter given as hex bytes (any bytes, also those that a
// settings file cannot hold). --report-signal-handlers tells, once the VM is created, what handles
// each stop signal. --own-signal-handlers installs handlers for them before the VM is created,
// reports as above, and raises SIGTERM, which must reach the process's own handler.
// The exit status is create_java_vm's result; facts go to standard output: what the start
// gave (started: N, start_server's result as a number) and, once the VM is destroyed,
// "destroyed".
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "javahost/java_vm.h"
#include "javahost/server.h"
#include "process/load_settings.h"

namespace {

volatile std::sig_atomic_t sigterm_count = 0;

void on_signal(int number) {
    if (number == SIGTERM) {
        sigterm_count = sigterm_count + 1;
    }
}

const int stop_signals[] = {SIGTERM, SIGINT, SIGHUP};

void install_handlers() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (const int number : stop_signals) {
        sigaction(number, &action, nullptr);
    }
}

// What each stop signal is handled by now: "own", "default" or "other".
void report_handlers() {
    for (const int number : stop_signals) {
        struct sigaction current {};
        sigaction(number, nullptr, &current);
        const char* holder = current.sa_handler == on_signal ? "own"
                             : current.sa_handler == SIG_DFL ? "default"
                                                             : "other";
        std::cout << strsignal(number) << ": " << holder << '\n';
    }
}

std::string from_hex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// The hand-over between the two threads: the service thread says when start-up is over
// and waits until the main thread has stopped everything.
struct hand_over {
    std::mutex lock;
    std::condition_variable changed;
    bool started = false;
    bool stopped = false;

    void set(bool hand_over::*flag) {
        std::lock_guard<std::mutex> hold(lock);
        this->*flag = true;
        changed.notify_all();
    }
    void wait(bool hand_over::*flag) {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return this->*flag; });
    }
};

struct scenario_options {
    bool own_handlers = false;
    bool report_handlers = false;
};

void service_thread(hand_over& steps, const scenario_options& options, int& created) {
    created = create_java_vm(settings);
    if (options.report_handlers) {
        report_handlers();
    }
    if (options.own_handlers) {
        std::raise(SIGTERM);
        std::cout << "SIGTERM reached own handler: " << sigterm_count << '\n';
    }
    if (created == create_ok) {
        std::cout << "started: " << static_cast<int>(start_server()) << '\n';
    }
    std::cout << std::flush;
    steps.set(&hand_over::started);
    steps.wait(&hand_over::stopped);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: jvm_scenario SETTINGS_FILE [--param-hex HEX]... "
                     "[--own-signal-handlers] [--report-signal-handlers]\n";
        return 100;
    }
    load_settings(argv[1], settings);
    scenario_options options;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--param-hex") == 0 && i + 1 < argc) {
            settings.start_method_params.push_back(from_hex(argv[++i]));
        } else if (std::strcmp(argv[i], "--own-signal-handlers") == 0) {
            options.own_handlers = options.report_handlers = true;
            install_handlers();
        } else if (std::strcmp(argv[i], "--report-signal-handlers") == 0) {
            options.report_handlers = true;
        }
    }
    hand_over steps;
    int created = -1;
    std::thread service([&] { service_thread(steps, options, created); });
    steps.wait(&hand_over::started);
    if (created == create_ok) {
        stop_server();
        java_vm->DestroyJavaVM();
        platform::free_library(jvm_library);
        std::cout << "destroyed\n" << std::flush;
    }
    steps.set(&hand_over::stopped);
    service.join();
    return created;
}
