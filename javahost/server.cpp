#include "javahost/server.h"

#include "javahost/diagnostic.h"
#include "javahost/java_exception.h"
#include "javahost/java_vm.h"
#include "javahost/server_lookup.h"
#include "javahost/widen_utf8.h"

namespace {

// A new String[] holding the parameters in their order; null, with an exception pending
// where the VM raised one, when the VM could not make it.
jobjectArray make_parameters(JNIEnv* env, const std::list<std::string>& parameters) {
    const jclass string_class = env->FindClass("java/lang/String");
    if (string_class == nullptr) {
        return nullptr;
    }
    const jobjectArray array =
        env->NewObjectArray(static_cast<jsize>(parameters.size()), string_class, nullptr);
    if (array == nullptr) {
        return nullptr;
    }
    jsize index = 0;
    for (const std::string& parameter : parameters) {
        std::u16string wide;
        widen_utf8(parameter, wide);
        const jstring text = env->NewString(reinterpret_cast<const jchar*>(wide.data()),
                                            static_cast<jsize>(wide.size()));
        if (text == nullptr) {
            return nullptr;
        }
        env->SetObjectArrayElement(array, index++, text);
    }
    return array;
}

// An exception thrown by the Java method is the Java program's to report: the VM prints it.
void describe_exception(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
    }
}

// The start method threw: the VM describes the exception as it does for the stop method,
// and the host says which start failed.
void report_thrown(JNIEnv* env, const settings_record& record) {
    const jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    report_start_threw(record.start_method, record.class_name, describe_thrown(env, thrown));
}

// Calls the chosen start method; with an incomplete parameter array it is not called at
// all, rather than with missing parameters.
start_result call_start(JNIEnv* env, jclass server, const start_method_choice& start,
                        const settings_record& record) {
    if (!start.takes_parameters) {
        env->CallStaticVoidMethod(server, start.method);
    } else {
        const jobjectArray parameters = make_parameters(env, record.start_method_params);
        if (parameters == nullptr) {
            describe_exception(env);
            report_no_parameters(record.start_method);
            return start_result::no_parameters;
        }
        env->CallStaticVoidMethod(server, start.method, parameters);
    }
    if (env->ExceptionCheck()) {
        report_thrown(env, record);
        return start_result::start_threw;
    }
    return start_result::start_called;
}

start_result run_start(JNIEnv* env, const settings_record& record) {
    bool load_threw = false;
    const jclass server = find_server_class(env, record, &load_threw);
    if (server == nullptr) {
        return load_threw ? start_result::class_threw : start_result::no_class;
    }
    start_method_choice start;
    if (!choose_start_method(env, server, record, start)) {
        return start_result::no_method;
    }
    return call_start(env, server, start, record);
}

void run_stop(JNIEnv* env, const settings_record& record) {
    const jclass server = find_server_class(env, record);
    if (server == nullptr) {
        return;
    }
    const jmethodID stop = find_stop_method(env, server, record);
    if (stop != nullptr) {
        env->CallStaticVoidMethod(server, stop);
        describe_exception(env);
    }
}

// Runs `work` on the calling thread, attached for its length; what it returns, or
// `unattached` when the thread could not be attached.
template <typename Result, typename Work> Result attached(Work work, Result unattached) {
    // Without a VM (none was created) there is nothing to attach to or to call.
    if (java_vm == nullptr || host_settings == nullptr) {
        return unattached;
    }
    JNIEnv* env = attach_current_thread();
    if (env == nullptr) {
        return unattached;
    }
    const Result result = work(env, *host_settings);
    java_vm->DetachCurrentThread();
    return result;
}

} // namespace

start_result start_server() {
    return attached(run_start, start_result::not_attached);
}

void stop_server() {
    attached(
        [](JNIEnv* env, const settings_record& record) {
            run_stop(env, record);
            return true;
        },
        false);
}
