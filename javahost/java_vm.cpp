#include "javahost/java_vm.h"

#include <algorithm>
#include <vector>

#include "javahost/diagnostic.h"
#include "javahost/vm_end_hooks.h"
#include "platform/control_signals.h"
#include "platform/last_error.h"
#include "platform/path_list.h"

JavaVM* java_vm = nullptr;
platform::library_handle jvm_library = nullptr;
settings_record* host_settings = nullptr;

namespace {

using create_vm_function = jint(JNICALL*)(JavaVM**, void**, void*);

// Settings files separate class path entries with ";" on every system, and the generated
// class-path option keeps that form. A JVM whose own separator differs would read the whole
// list as one missing path, so such an option is handed to it translated. Returns the text
// to pass: the entry itself, or its translation kept in `translated`.
char* text_for_jvm(std::string& option, std::list<std::string>& translated) {
    static const std::string class_path = "-Djava.class.path=";
    if (platform::path_list_separator == ';' ||
        option.compare(0, class_path.size(), class_path) != 0) {
        return option.data();
    }
    std::string& copy = translated.emplace_back(option);
    std::replace(copy.begin() + static_cast<std::ptrdiff_t>(class_path.size()), copy.end(), ';',
                 platform::path_list_separator);
    return copy.data();
}

// One option per entry, pointing into the entries themselves (or their translations): the
// VM copies what it keeps while it is being created, and both outlive the call. The hooks
// through which the VM tells the host that it ends the process come last, after every
// configured option.
std::vector<JavaVMOption> make_options(std::list<std::string>& options,
                                       std::list<std::string>& translated) {
    std::vector<JavaVMOption> array;
    array.reserve(options.size() + 2);
    for (std::string& option : options) {
        array.push_back({text_for_jvm(option, translated), nullptr});
    }
    static char exit_option[] = "exit";
    static char abort_option[] = "abort";
    array.push_back({exit_option, reinterpret_cast<void*>(vm_exit_hook)});
    array.push_back({abort_option, reinterpret_cast<void*>(vm_abort_hook)});
    return array;
}

// Calls JNI_CreateJavaVM, which fills java_vm on success. The JNIEnv it hands back is not
// kept: each later use attaches its own thread.
jint call_create(create_vm_function create, std::list<std::string>& options) {
    std::list<std::string> translated;
    std::vector<JavaVMOption> array = make_options(options, translated);
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_1_6;
    arguments.nOptions = static_cast<jint>(array.size());
    arguments.options = array.data();
    arguments.ignoreUnrecognized = JNI_FALSE;
    JNIEnv* env = nullptr;
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
    vm_failure found;
    int result = create_ok;
    const create_vm_function create = open_library(record.dll_path, result, found);
    if (create != nullptr && call_create(create, record.options) != JNI_OK) {
        // Whatever the library left there, there is no VM to use or destroy, and no system
        // error of its making to report.
        java_vm = nullptr;
        report_vm_not_created();
        release_library();
        result = create_vm_failed;
    }
    if (result == create_ok) {
        note_vm_created();
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
