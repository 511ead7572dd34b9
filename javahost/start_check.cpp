#include "javahost/start_check.h"

#include "javahost/java_vm.h"
#include "javahost/server_lookup.h"

namespace {

void look_up_methods(JNIEnv* env, jclass server, const settings_record& record,
                     start_check_result& result) {
    start_method_choice start;
    result.start_found = choose_start_method(env, server, record, start);
    result.start_takes_parameters = result.start_found && start.takes_parameters;
    result.parameter_count = result.start_takes_parameters ? record.start_method_params.size() : 0;
    // A missing stop method leaves an exception pending, which the VM prints when the
    // thread is detached, as it does in the service.
    result.stop_found = find_stop_method(env, server, record) != nullptr;
}

} // namespace

bool start_check_result::passed() const {
    return created == create_ok && class_found && start_found && stop_found;
}

start_check_result check_java_start(settings_record& record) {
    start_check_result result;
    vm_failure failure;
    result.created = create_java_vm(record, &failure);
    result.load_error = failure.reason;
    if (result.created != create_ok) {
        return result;
    }
    JNIEnv* env = attach_current_thread();
    if (env == nullptr) {
        return result;
    }
    const jclass server = find_server_class(env, record);
    result.class_found = server != nullptr;
    if (server != nullptr) {
        look_up_methods(env, server, record, result);
    }
    java_vm->DetachCurrentThread();
    return result;
}
