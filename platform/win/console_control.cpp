// The console dispatcher on Windows.
//
// Stop requests come as console control events, to a handler that the system calls on a
// thread of its own: Ctrl-C, and the close, log-off and shutdown events. Handlers run
// newest first, and the Java VM registers one while it is created, which would begin
// Java's own shutdown and end the process; so the dispatcher's handler is registered
// again once the VM exists, in front of it, and takes those events itself. Ctrl-Break is
// passed on to the VM's handler, which prints a thread dump as in a Java console, while
// the VM is up (from its creation until stop pending is reported); otherwise it is
// swallowed, since the default handler would end the process and a VM library that has
// been released has no handler left to call.
//
// As under the service control manager, the handler is called on the dispatcher's thread,
// the one that started it, one request at a time and only while the service is running;
// a stop request made while start is pending waits for running.
#include "platform/win/console_control.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "platform/console_run.h"
#include "platform/last_error.h"
#include "platform/standard_error.h"

namespace platform {

namespace {

struct console_state {
    std::mutex lock;
    std::condition_variable changed;
    control_handler_function handler = nullptr;
    insist_function insist = nullptr;
    std::uint32_t reported_state = service_start_pending;
    bool main_returned = false;
    bool stop_taken = false;
    bool java_vm_handler = false; // the Java VM's console handler sits behind this one
    std::deque<std::uint32_t> requests;
};

// Never destroyed: the system may call the handler on its own thread while the process
// ends.
console_state& console = *new console_state;
std::atomic<bool> active{false};

void say(const char* line) {
    write_initial_standard_error(line, std::char_traits<char>::length(line));
}

// A stop request: taken once; one that comes while it waits or while a stop is under way
// is the operator insisting.
void take_stop_request() {
    std::unique_lock<std::mutex> hold(console.lock);
    if (console.main_returned) {
        return;
    }
    const stop_request_fate fate = fate_of_stop_request(console.reported_state, console.stop_taken);
    console.stop_taken = true;
    if (fate == stop_request_fate::insist) {
        hold.unlock();
        console.insist();
        return;
    }
    if (fate == stop_request_fate::take) {
        if (console.reported_state == service_start_pending) {
            say(stop_held_line);
        }
        console.requests.push_back(service_control_stop);
        console.changed.notify_all();
    }
}

bool java_vm_takes_break() {
    std::lock_guard<std::mutex> hold(console.lock);
    return console.java_vm_handler && (console.reported_state == service_start_pending ||
                                       console.reported_state == service_running);
}

void wait_for_main() {
    std::unique_lock<std::mutex> hold(console.lock);
    console.changed.wait(hold, [] { return console.main_returned; });
}

BOOL WINAPI on_console_event(DWORD event) {
    if (event == CTRL_BREAK_EVENT) {
        return java_vm_takes_break() ? FALSE : TRUE;
    }
    take_stop_request();
    // The system ends the process once the handler of a close, log-off or shutdown event
    // returns (or its time is up): the stop must be done first.
    if (event != CTRL_C_EVENT) {
        wait_for_main();
    }
    return TRUE;
}

// Delivers the requests until the main function has returned.
void dispatch_requests() {
    std::unique_lock<std::mutex> hold(console.lock);
    for (;;) {
        console.changed.wait(hold, [] {
            return console.main_returned ||
                   (!console.requests.empty() && console.reported_state != service_start_pending);
        });
        if (console.main_returned) {
            return;
        }
        if (console.reported_state != service_running) {
            console.requests.clear(); // stop is pending already
            continue;
        }
        const std::uint32_t control = console.requests.front();
        console.requests.pop_front();
        const control_handler_function handler = console.handler;
        hold.unlock();
        if (handler != nullptr) {
            handler(control);
        }
        hold.lock();
    }
}

void run_service_main(service_main_function main, const char* name) {
    char* argv[] = {const_cast<char*>(name), nullptr};
    main(1, argv);
    std::lock_guard<std::mutex> hold(console.lock);
    console.main_returned = true;
    console.changed.notify_all();
}

} // namespace

bool start_console_dispatcher(const service_table_entry* table, insist_function insist) {
    if (table == nullptr || table[0].name == nullptr || table[0].main == nullptr ||
        insist == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    console.insist = insist;
    active.store(true);
    if (!SetConsoleCtrlHandler(on_console_event, TRUE)) {
        return false;
    }
    return run_main_and_dispatch(table, run_service_main, dispatch_requests);
}

bool console_dispatcher_runs() {
    return active.load();
}

service_status_handle console_register_handler(control_handler_function handler) {
    std::lock_guard<std::mutex> hold(console.lock);
    console.handler = handler;
    return &console;
}

bool console_set_status(service_status_handle handle, const service_status& status) {
    if (handle != &console) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> hold(console.lock);
    say(console_report_line(status).c_str());
    console.reported_state = status.current_state;
    console.changed.notify_all();
    return true;
}

void console_after_java_vm_created() {
    if (!active.load()) {
        return;
    }
    SetConsoleCtrlHandler(on_console_event, FALSE);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    std::lock_guard<std::mutex> hold(console.lock);
    console.java_vm_handler = true;
}

} // namespace platform
