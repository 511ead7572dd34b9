#include "service/stop_path.h"

#include <mutex>

#include "javahost/java_vm.h"
#include "javahost/server.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "service/service_globals.h"

namespace {

// The stop path runs on whichever thread saw a request or a failed report; one at a time.
std::mutex stop_path_lock;
bool java_side_up = false;
bool start_called = false;
bool event_closed = false;

void stop_java_side() {
    if (start_called) {
        stop_server();
    }
    java_vm->DestroyJavaVM();
    platform::free_library(jvm_library);
}

} // namespace

bool create_stop_event() {
    std::lock_guard<std::mutex> hold(stop_path_lock);
    stop_event = platform::create_event();
    return stop_event != nullptr;
}

void java_side_started() {
    std::lock_guard<std::mutex> hold(stop_path_lock);
    java_side_up = true;
}

void start_method_called() {
    std::lock_guard<std::mutex> hold(stop_path_lock);
    start_called = true;
}

void run_stop_path() {
    std::lock_guard<std::mutex> hold(stop_path_lock);
    if (java_side_up) {
        java_side_up = false;
        stop_java_side();
    }
    if (stop_event != nullptr && !event_closed) {
        platform::set_event(stop_event);
    }
}

void close_stop_event() {
    std::lock_guard<std::mutex> hold(stop_path_lock);
    if (stop_event != nullptr && !event_closed) {
        platform::close_event(stop_event);
        event_closed = true;
    }
}
