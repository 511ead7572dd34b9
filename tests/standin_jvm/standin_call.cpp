// The stand-in calling the native methods of orvo.Service that the host registered, as the
// Java program would through the class: the test says when, and with what.
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <condition_variable>

#include "standin.h"

namespace standin {

namespace {

struct native_name {
    const char* api;       // the public method of orvo.Service
    const char* name;      // the native method behind it
    const char* signature; // and its signature
};

const native_name native_names[] = {
    {"hosted", "hostPresent", "()Z"},           {"starting", "hostStarting", "(J)Z"},
    {"stopping", "hostStopping", "(J)Z"},       {"status", "hostStatus", "(Ljava/lang/String;)Z"},
    {"requestStop", "hostRequestStop", "(I)Z"},
};

// Calls made on threads of their own, which the VM's destruction waits for as a real VM
// waits for the program's threads; guarded by the state lock.
std::condition_variable calls_ended;
int threads_calling = 0;

const native_name* name_of(const std::string& api) {
    for (const native_name& each : native_names) {
        if (api == each.api) {
            return &each;
        }
    }
    return nullptr;
}

using no_argument = jboolean(JNICALL*)(JNIEnv*, jclass);
using long_argument = jboolean(JNICALL*)(JNIEnv*, jclass, jlong);
using int_argument = jboolean(JNICALL*)(JNIEnv*, jclass, jint);
using string_argument = jboolean(JNICALL*)(JNIEnv*, jclass, jstring);

// What the native method answered, or why it could not be called.
std::string call_native(void* function, const native_name& name, const std::string& argument,
                        jclass service, jstring text) {
    JNIEnv* env = jni_env();
    const std::string signature = name.signature;
    jboolean answer = JNI_FALSE;
    if (signature == "()Z") {
        answer = reinterpret_cast<no_argument>(function)(env, service);
    } else if (signature == "(J)Z") {
        answer = reinterpret_cast<long_argument>(function)(env, service, std::stoll(argument));
    } else if (signature == "(I)Z") {
        answer = reinterpret_cast<int_argument>(function)(env, service,
                                                          static_cast<jint>(std::stol(argument)));
    } else {
        answer = reinterpret_cast<string_argument>(function)(env, service, text);
    }
    return answer != JNI_FALSE ? "true" : "false";
}

void make_call(const native_call& call) {
    const native_name* name = name_of(call.name);
    void* function = nullptr;
    jclass service = nullptr;
    jstring text = nullptr;
    {
        std::lock_guard<std::mutex> hold(state_lock());
        vm_state& vm = state();
        for (const native_entry& native : vm.natives) {
            if (name != nullptr && native.name == name->name &&
                native.signature == name->signature) {
                function = native.function;
            }
        }
        object* type = new_object(vm, object::class_kind);
        type->class_name = "orvo/Service";
        service = reinterpret_cast<jclass>(type);
        object* string = new_object(vm, object::string_kind);
        string->text = widened(call.argument);
        text = reinterpret_cast<jstring>(string);
        vm.attached.insert(std::this_thread::get_id());
    }
    const std::string shown = "call orvo/Service." + call.name + "(" + call.argument + ")";
    const std::string answer = function == nullptr
                                   ? "no native method"
                                   : call_native(function, *name, call.argument, service, text);
    std::lock_guard<std::mutex> hold(state_lock());
    record(shown + " -> " + answer);
}

} // namespace

bool add_call(vm_state& vm, const std::string& value) {
    // MOMENT:NAME(ARGUMENT); a moment holds no ":".
    const auto colon = value.find(':');
    const auto open = value.find('(', colon);
    if (colon == std::string::npos || open == std::string::npos || value.back() != ')') {
        return false;
    }
    native_call call;
    call.moment = value.substr(0, colon);
    call.name = value.substr(colon + 1, open - colon - 1);
    call.argument = value.substr(open + 1, value.size() - open - 2);
    vm.calls.push_back(call);
    return true;
}

void make_calls(const std::string& moment) {
    std::vector<native_call> planned;
    {
        std::lock_guard<std::mutex> hold(state_lock());
        for (const native_call& call : state().calls) {
            if (call.moment == moment) {
                planned.push_back(call);
            }
        }
    }
    for (const native_call& call : planned) {
        make_call(call);
    }
}

void watch_call_events(const vm_state& vm) {
#ifdef _WIN32
    std::vector<std::string> events;
    for (const native_call& call : vm.calls) {
        if (call.moment.compare(0, 6, "event=") == 0 &&
            std::find(events.begin(), events.end(), call.moment) == events.end()) {
            events.push_back(call.moment);
        }
    }
    for (const std::string& moment : events) {
        const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, moment.c_str() + 6);
        std::thread([event, moment] {
            WaitForSingleObject(event, INFINITE);
            {
                std::lock_guard<std::mutex> hold(state_lock());
                ++threads_calling;
            }
            make_calls(moment);
            std::lock_guard<std::mutex> hold(state_lock());
            state().attached.erase(std::this_thread::get_id());
            --threads_calling;
            calls_ended.notify_all();
        }).detach();
    }
#else
    static_cast<void>(vm);
#endif
}

void wait_for_calling_threads(std::unique_lock<std::mutex>& hold) {
    calls_ended.wait(hold, [] { return threads_calling == 0; });
}

} // namespace standin
