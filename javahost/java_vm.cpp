#include "javahost/java_vm.h"

#include <vector>

#include "javahost/diagnostic.h"
#include "javahost/service_class.h"
#include "javahost/vm_end_hooks.h"
#include "javahost/vm_options.h"
#include "platform/control_signals.h"
#include "platform/last_error.h"

JavaVM* java_vm = nullptr;
platform::library_handle jvm_library = nullptr;
settings_record* host_settings = nullptr;

namespace {

using create_vm_function = jint(JNICALL*)(JavaVM**, void**, void*);

// One option per text, pointing into the texts themselves: the VM copies what it keeps while
// it is being created, and they outlive the call. The hooks through which the VM tells the
// host that it ends the process come last, after every configured option.
std::vector<JavaVMOption> make_options(std::list<std::string>& texts) {
    std::vector<JavaVMOption> array;
    array.reserve(texts.size() + 2);
    for (std::string& text : texts) {
        array.push_back({text.data(), nullptr});
    }
    static char exit_option[] = "exit";
    static char abort_option[] = "abort";
    array.push_back({exit_option, reinterpret_cast<void*>(vm_exit_hook)});
    array.push_back({abort_option, reinterpret_cast<void*>(vm_abort_hook)});
    return array;
}

// Calls JNI_CreateJavaVM, which fills java_vm and `env` on success. The JNIEnv is not kept
// beyond create_java_vm: each later use attaches its own thread.
jint call_create(create_vm_function create, std::list<std::string>& texts, JNIEnv*& env) {
    std::vector<JavaVMOption> array = make_options(texts);
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_1_6;
    arguments.nOptions = static_cast<jint>(array.size());
    arguments.options = array.data();
    arguments.ignoreUnrecognized = JNI_FALSE;
    platform::control_signal_guard signals;
    const jint result = create(&java_vm, reinterpret_cast<void**>(&env), &arguments);
    signals.restore();
    return result;
}

// Once released the handle names nothing: cleared, so that nothing can release it again.
void release_library() {
    platform::free_library(jvm_library);
    jvm_library = nullptr;
}

// The system's code and words for the load or lookup that just failed, before any other
// call can change them.
vm_failure failure_here() {
    const std::uint32_t code = platform::last_error();
    return {code, platform::library_error()};
}

// Loads the library into jvm_library and finds its entry point; on failure says so and
// leaves no library loaded.
create_vm_function open_library(const std::string& path, int& result, vm_failure& failure) {
    jvm_library = platform::load_jvm_library(path);
    if (jvm_library == nullptr) {
        failure = failure_here();
        report_no_library();
        result = create_no_library;
        return nullptr;
    }
    const auto create = reinterpret_cast<create_vm_function>(
        platform::find_function(jvm_library, "JNI_CreateJavaVM"));
    if (create == nullptr) {
        failure = failure_here();
        report_no_entry_point();
        release_library();
        result = create_no_entry_point;
        return nullptr;
    }
    result = create_ok;
    return create;
}

} // namespace

int create_java_vm(settings_record& record, vm_failure* failure) {
    host_settings = &record;
    // Before anything is loaded: an option the VM cannot be given would reach it as another
    // text, naming files that are not there.
    std::list<std::string> texts;
    std::string problem;
    if (!vm_option_texts(record.options, texts, problem)) {
        report_unpassable_option(problem);
        if (failure != nullptr) {
            *failure = {0, problem};
        }
        return create_bad_option;
    }
    vm_failure found;
    int result = create_ok;
    const create_vm_function create = open_library(record.dll_path, result, found);
    JNIEnv* env = nullptr;
    if (create != nullptr && call_create(create, texts, env) != JNI_OK) {
        // Whatever the library left there, there is no VM to use or destroy, and no system
        // error of its making to report.
        java_vm = nullptr;
        report_vm_not_created();
        release_library();
        result = create_vm_failed;
    }
    if (result == create_ok) {
        note_vm_created();
        define_service_class(env);
    } else if (failure != nullptr) {
        *failure = found;
    }
    return result;
}

int check_vm_library(const std::string& path, vm_failure& failure) {
    int result = create_ok;
    if (open_library(path, result, failure) != nullptr) {
        release_library();
    }
    return result;
}
