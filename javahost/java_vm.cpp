#include "javahost/java_vm.h"

#include <vector>

#include "javahost/diagnostic.h"
#include "platform/control_signals.h"

JavaVM* java_vm = nullptr;
platform::library_handle jvm_library = nullptr;
settings_record* host_settings = nullptr;

namespace {

using create_vm_function = jint(JNICALL*)(JavaVM**, void**, void*);

// One option per entry, pointing into the entries themselves: the VM copies what it keeps
// while it is being created, and the record outlives the call anyway.
std::vector<JavaVMOption> make_options(std::list<std::string>& options) {
    std::vector<JavaVMOption> array(options.size());
    auto entry = array.begin();
    for (std::string& option : options) {
        entry->optionString = option.data();
        entry->extraInfo = nullptr;
        ++entry;
    }
    return array;
}

// Calls JNI_CreateJavaVM, which fills java_vm on success. The JNIEnv it hands back is not
// kept: each later use attaches its own thread.
jint call_create(create_vm_function create, std::list<std::string>& options) {
    std::vector<JavaVMOption> array = make_options(options);
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

} // namespace

int create_java_vm(settings_record& record) {
    host_settings = &record;
    jvm_library = platform::load_library(record.dll_path);
    if (jvm_library == nullptr) {
        report_no_library();
        return create_no_library;
    }
    const auto create = reinterpret_cast<create_vm_function>(
        platform::find_function(jvm_library, "JNI_CreateJavaVM"));
    if (create == nullptr) {
        report_no_entry_point();
        release_library();
        return create_no_entry_point;
    }
    if (call_create(create, record.options) != JNI_OK) {
        // Whatever the library left there, there is no VM to use or destroy.
        java_vm = nullptr;
        report_vm_not_created();
        release_library();
        return create_vm_failed;
    }
    return create_ok;
}
