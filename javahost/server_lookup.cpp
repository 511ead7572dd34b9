#include "javahost/server_lookup.h"

#include "javahost/diagnostic.h"
#include "javahost/java_exception.h"
#include "javahost/java_vm.h"

namespace {

const char with_parameters[] = "([Ljava/lang/String;)V";
const char without_parameters[] = "()V";

// A lookup that finds nothing leaves an exception pending; either variant may be missing
// without that being an error, so it is discarded.
jmethodID look_up_start_variant(JNIEnv* env, jclass server, const std::string& name,
                                const char* descriptor) {
    const jmethodID method = env->GetStaticMethodID(server, name.c_str(), descriptor);
    env->ExceptionClear();
    return method;
}

// Whether `thrown`, which FindClass left, says that the class is not there, rather than
// that its code failed while it was loaded. Call it with no exception pending.
bool says_not_found(JNIEnv* env, jthrowable thrown) {
    for (const char* kind :
         {"java/lang/NoClassDefFoundError", "java/lang/ClassNotFoundException"}) {
        const jclass type = env->FindClass(kind);
        if (type != nullptr && env->IsInstanceOf(thrown, type)) {
            return true;
        }
        env->ExceptionClear();
    }
    return false;
}

} // namespace

JNIEnv* attach_current_thread() {
    JNIEnv* env = nullptr;
    const jint attached = java_vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
    if (attached != JNI_OK || env == nullptr) {
        report_not_attached();
        return nullptr;
    }
    return env;
}

jclass find_server_class(JNIEnv* env, const settings_record& record, bool* load_threw) {
    const jclass server = env->FindClass(record.class_name.c_str());
    if (server != nullptr) {
        return server;
    }
    const jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    if (thrown == nullptr || says_not_found(env, thrown)) {
        if (thrown != nullptr) {
            env->Throw(thrown);
        }
        report_class_not_found(record.class_name);
        return nullptr;
    }
    report_class_threw(record.class_name, describe_thrown(env, thrown));
    if (load_threw != nullptr) {
        *load_threw = true;
    }
    return nullptr;
}

bool choose_start_method(JNIEnv* env, jclass server, const settings_record& record,
                         start_method_choice& choice) {
    const jmethodID with_array =
        look_up_start_variant(env, server, record.start_method, with_parameters);
    const jmethodID without_array =
        look_up_start_variant(env, server, record.start_method, without_parameters);
    if (with_array != nullptr) {
        choice = {with_array, true};
        return true;
    }
    if (without_array != nullptr && record.start_method_params.empty()) {
        choice = {without_array, false};
        return true;
    }
    report_method_not_found(record.start_method);
    return false;
}

jmethodID find_stop_method(JNIEnv* env, jclass server, const settings_record& record) {
    const jmethodID stop =
        env->GetStaticMethodID(server, record.stop_method.c_str(), without_parameters);
    if (stop == nullptr) {
        report_method_not_found(record.stop_method);
    }
    return stop;
}
