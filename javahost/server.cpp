#include "javahost/server.h"

#include "javahost/diagnostic.h"
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

// Calls the chosen start method; with an incomplete parameter array it is not called at
// all, rather than with missing parameters.
void call_start(JNIEnv* env, jclass server, const start_method_choice& start,
                const settings_record& record) {
    if (!start.takes_parameters) {
        env->CallStaticVoidMethod(server, start.method);
        describe_exception(env);
        return;
    }
    const jobjectArray parameters = make_parameters(env, record.start_method_params);
    if (parameters == nullptr) {
        describe_exception(env);
        report_no_parameters(record.start_method);
        return;
    }
    env->CallStaticVoidMethod(server, start.method, parameters);
    describe_exception(env);
}

void run_start(JNIEnv* env, const settings_record& record) {
    const jclass server = find_server_class(env, record);
    if (server == nullptr) {
        return;
    }
    start_method_choice start;
    if (choose_start_method(env, server, record, start)) {
        call_start(env, server, start, record);
    }
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

// Runs `work` on the calling thread, attached for its length.
template <typename Work> void attached(Work work) {
    // Without a VM (none was created) there is nothing to attach to or to call.
    if (java_vm == nullptr || host_settings == nullptr) {
        return;
    }
    JNIEnv* env = attach_current_thread();
    if (env == nullptr) {
        return;
    }
    work(env, *host_settings);
    java_vm->DetachCurrentThread();
}

} // namespace

void start_server() {
    attached(run_start);
}

void stop_server() {
    attached(run_stop);
}
