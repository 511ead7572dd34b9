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

// The name of the class of `thrown`, dotted as Class.getName() gives it; empty when the VM
// cannot tell. Whatever the lookup throws is discarded: it says nothing of the program.
std::string class_name_of(JNIEnv* env, jthrowable thrown) {
    std::string name;
    const jclass type = env->GetObjectClass(thrown);
    const jclass class_class = type != nullptr ? env->FindClass("java/lang/Class") : nullptr;
    const jmethodID get_name =
        class_class != nullptr ? env->GetMethodID(class_class, "getName", "()Ljava/lang/String;")
                               : nullptr;
    const auto text =
        get_name != nullptr ? static_cast<jstring>(env->CallObjectMethod(type, get_name)) : nullptr;
    if (text != nullptr && !env->ExceptionCheck()) {
        if (const char* characters = env->GetStringUTFChars(text, nullptr)) {
            name = characters;
            env->ReleaseStringUTFChars(text, characters);
        }
    }
    env->ExceptionClear();
    return name;
}

// The start method threw: the VM describes the exception as it does for the stop method,
// and the host says which start failed, with the exception's class looked up first (the
// description clears the exception).
void report_thrown(JNIEnv* env, const settings_record& record) {
    const jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    std::string exception_class = class_name_of(env, thrown);
    if (exception_class.empty()) {
        exception_class = "an exception";
    }
    env->Throw(thrown);
    env->ExceptionDescribe();
    report_start_threw(record.start_method, record.class_name, exception_class);
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
    const jclass server = find_server_class(env, record);
    if (server == nullptr) {
        return start_result::no_class;
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
