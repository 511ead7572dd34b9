// The stand-in VM ending the process by itself, as a real VM does on System.exit, on an
// option it cannot use while it is created, or on a crash.
#include <condition_variable>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "standin.h"

namespace standin {

namespace {

[[noreturn]] void hang() {
    std::mutex lock;
    std::condition_variable never;
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        never.wait(hold);
    }
}

} // namespace

vm_hooks& hooks() {
    static vm_hooks given;
    return given;
}

bool add_end(vm_state& vm, const std::string& value) {
    // MOMENT:exit:STATUS, MOMENT:abort, MOMENT:hang or MOMENT:wait=NAME; an event name
    // may hold no ":".
    const auto first = value.find(':');
    if (first == std::string::npos) {
        return false;
    }
    end_plan plan;
    plan.moment = value.substr(0, first);
    const std::string how = value.substr(first + 1);
    if (how == "abort") {
        plan.abort = true;
    } else if (how == "hang") {
        plan.hang = true;
    } else if (how.compare(0, 5, "wait=") == 0 && how.size() > 5) {
        plan.wait_event = how.substr(5);
    } else if (how.compare(0, 5, "exit:") == 0) {
        plan.status = static_cast<jint>(std::strtol(how.c_str() + 5, nullptr, 10));
    } else {
        return false;
    }
    vm.ends.push_back(plan);
    return true;
}

const end_plan* end_at(const vm_state& vm, const std::string& moment) {
    for (const end_plan& plan : vm.ends) {
        if (plan.moment == moment) {
            return &plan;
        }
    }
    return nullptr;
}

void carry_out(end_plan plan, bool created) {
    const vm_hooks given = hooks();
    if (plan.abort) {
        if (given.abort != nullptr) {
            given.abort();
        }
        // A real VM exits with 1 when it gives up while created, and aborts on a crash.
        if (!created) {
            std::_Exit(1);
        }
        std::abort();
    }
    // The exit hook runs on the VM's own thread while the thread that asked waits.
    std::thread vm_thread([&] {
        if (given.exit != nullptr) {
            given.exit(plan.status);
        }
        std::_Exit(plan.status); // the hook should not have returned
    });
    vm_thread.join();
    hang();
}

void act_on(const end_plan& plan, bool created) {
    if (plan.hang) {
        hang();
    }
    if (plan.wait_event.empty()) {
        carry_out(plan, created);
    }
#ifdef _WIN32
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, plan.wait_event.c_str());
    WaitForSingleObject(event, INFINITE);
    CloseHandle(event);
#else
    hang();
#endif
}

#ifdef _WIN32
namespace {

end_plan console_plan;

BOOL WINAPI on_console_event(DWORD event) {
    {
        std::lock_guard<std::mutex> hold(state_lock());
        record("console event " + std::to_string(event));
    }
    carry_out(console_plan, true);
}

} // namespace
#endif

void watch_end_events(const vm_state& vm) {
#ifdef _WIN32
    if (const end_plan* plan = end_at(vm, "console")) {
        console_plan = *plan;
        SetConsoleCtrlHandler(on_console_event, TRUE);
    }
    for (const end_plan& plan : vm.ends) {
        if (plan.moment.compare(0, 6, "event=") != 0 || plan.hang || !plan.wait_event.empty()) {
            continue;
        }
        const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, plan.moment.c_str() + 6);
        std::thread([event, plan] {
            WaitForSingleObject(event, INFINITE);
            carry_out(plan, true);
        }).detach();
    }
#else
    static_cast<void>(vm);
#endif
}

} // namespace standin
