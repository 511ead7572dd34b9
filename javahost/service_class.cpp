#include "javahost/service_class.h"

#include <algorithm>

#include "javahost/java_exception.h"
#include "platform/standard_error.h"
#include "service_class_bytes.h"

namespace {

service_requests handlers;

jboolean answer(bool taken) {
    return taken ? JNI_TRUE : JNI_FALSE;
}

// The start of the Java string `text`, up to max_status_units, in UTF-8; a character cut
// in half at the end is left out.
std::string status_text_of(JNIEnv* env, jstring text) {
    std::u16string units(std::min<std::size_t>(static_cast<std::size_t>(env->GetStringLength(text)),
                                               max_status_units),
                         u'\0');
    env->GetStringRegion(text, 0, static_cast<jsize>(units.size()),
                         reinterpret_cast<jchar*>(units.data()));
    if (units.size() == max_status_units && units.back() >= 0xD800 && units.back() <= 0xDBFF) {
        units.pop_back();
    }
    return utf8_of_utf16(units);
}

jboolean JNICALL host_present(JNIEnv*, jclass) {
    return JNI_TRUE;
}

jboolean JNICALL host_starting(JNIEnv*, jclass, jlong millis) {
    return answer(handlers.starting(millis));
}

jboolean JNICALL host_stopping(JNIEnv*, jclass, jlong millis) {
    return answer(handlers.stopping(millis));
}

jboolean JNICALL host_status(JNIEnv* env, jclass, jstring text) {
    return answer(text != nullptr && handlers.status(status_text_of(env, text)));
}

jboolean JNICALL host_request_stop(JNIEnv*, jclass, jint exit_code) {
    return answer(handlers.request_stop(exit_code));
}

// JNI's tables take the names and signatures as char*, though they never change them.
char* text(const char* constant) {
    return const_cast<char*>(constant);
}

// hostPresent comes last: the VM registers them in order and stops at the first it cannot,
// and the class takes the program as hosted only once hostPresent answers.
const JNINativeMethod natives[] = {
    {text("hostStarting"), text("(J)Z"), reinterpret_cast<void*>(host_starting)},
    {text("hostStopping"), text("(J)Z"), reinterpret_cast<void*>(host_stopping)},
    {text("hostStatus"), text("(Ljava/lang/String;)Z"), reinterpret_cast<void*>(host_status)},
    {text("hostRequestStop"), text("(I)Z"), reinterpret_cast<void*>(host_request_stop)},
    {text("hostPresent"), text("()Z"), reinterpret_cast<void*>(host_present)},
};

bool handlers_given() {
    return handlers.starting != nullptr && handlers.stopping != nullptr &&
           handlers.status != nullptr && handlers.request_stop != nullptr;
}

// Whatever the VM raised here is orvo's failure, not the program's: it is said by the
// caller's line, and must not be left pending for the program's first call.
void say_failure(JNIEnv* env, const char* line, std::size_t size) {
    env->ExceptionClear();
    platform::write_standard_error(line, size);
}

} // namespace

void set_service_requests(const service_requests& requests) {
    handlers = requests;
}

void define_service_class(JNIEnv* env) {
    const jclass defined = env->DefineClass("orvo/Service", nullptr,
                                            reinterpret_cast<const jbyte*>(service_class_bytes),
                                            static_cast<jsize>(sizeof service_class_bytes));
    if (defined == nullptr) {
        static const char line[] =
            "error: couldn't define orvo.Service: its methods return false.\r\n";
        say_failure(env, line, sizeof line - 1);
        return;
    }
    if (handlers_given() &&
        env->RegisterNatives(defined, natives, sizeof natives / sizeof natives[0]) != JNI_OK) {
        static const char line[] =
            "error: couldn't register orvo.Service's native methods: its methods return false.\r\n";
        say_failure(env, line, sizeof line - 1);
    }
    env->DeleteLocalRef(defined);
}
