// The stand-in's native functions: classes, static methods, strings, arrays, exceptions.
#include <cstdarg>
#include <cstdio>

#include "standin.h"

namespace standin {

namespace {

const char string_array_descriptor[] = "([Ljava/lang/String;)V";

object* as_object(jobject handle) {
    return reinterpret_cast<object*>(handle);
}

template <typename Handle> Handle as_handle(object* target) {
    return reinterpret_cast<Handle>(target);
}

// A native function called on a thread that is not attached would crash a real VM; here
// it leaves a line that no test expects.
void check_attached(const vm_state& vm, const char* function) {
    if (vm.attached.count(std::this_thread::get_id()) == 0) {
        record(std::string("!! ") + function + " on a thread that is not attached");
    }
}

bool class_exists(const vm_state& vm, const std::string& name) {
    if (name == "java/lang/String") {
        return true;
    }
    for (const std::string& known : vm.classes) {
        if (known == name) {
            return true;
        }
    }
    return false;
}

method_entry* find_method(vm_state& vm, const std::string& class_name, const char* name,
                          const char* descriptor) {
    for (auto& method : vm.methods) {
        if (method->class_name == class_name && method->name == name &&
            method->descriptor == descriptor) {
            return method.get();
        }
    }
    return nullptr;
}

std::string shown(const object* value) {
    return value == nullptr ? "null" : "\"" + units(value->text) + "\"";
}

std::string shown_array(const object* array) {
    if (array == nullptr) {
        return "null";
    }
    std::string text = "[";
    for (const object* element : array->elements) {
        text += (text.size() > 1 ? ", " : "") + shown(element);
    }
    return text + "]";
}

jclass JNICALL find_class(JNIEnv*, const char* name) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "FindClass");
    const bool exists = class_exists(vm, name);
    record(std::string("FindClass ") + name + (exists ? "" : " -> missing"));
    if (!exists) {
        vm.pending = "java/lang/NoClassDefFoundError";
        return nullptr;
    }
    object* found = new_object(vm, object::class_kind);
    found->class_name = name;
    return as_handle<jclass>(found);
}

jmethodID JNICALL get_static_method_id(JNIEnv*, jclass server, const char* name,
                                       const char* descriptor) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "GetStaticMethodID");
    const std::string class_name =
        server == nullptr ? "(null class)" : as_object(server)->class_name;
    method_entry* method = find_method(vm, class_name, name, descriptor);
    record("GetStaticMethodID " + class_name + " " + name + " " + descriptor +
           (method == nullptr ? " -> missing" : ""));
    if (method == nullptr) {
        vm.pending = "java/lang/NoSuchMethodError";
    }
    return reinterpret_cast<jmethodID>(method);
}

void JNICALL exception_clear(JNIEnv*) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "ExceptionClear");
    record("ExceptionClear");
    state().pending.clear();
}

jboolean JNICALL exception_check(JNIEnv*) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "ExceptionCheck");
    const bool pending = !state().pending.empty();
    record(std::string("ExceptionCheck -> ") + (pending ? "true" : "false"));
    return pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL exception_describe(JNIEnv*) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "ExceptionDescribe");
    record("ExceptionDescribe " + state().pending);
    state().pending.clear();
}

jobjectArray JNICALL new_object_array(JNIEnv*, jsize length, jclass element_class,
                                      jobject initial) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "NewObjectArray");
    const std::string element =
        element_class == nullptr ? "(null class)" : as_object(element_class)->class_name;
    const bool fails = is_failing(vm, "NewObjectArray");
    record("NewObjectArray " + std::to_string(length) + " " + element + " " +
           (initial == nullptr ? "null" : "initial") + (fails ? " -> failed" : ""));
    if (fails || length < 0) {
        vm.pending = "java/lang/OutOfMemoryError";
        return nullptr;
    }
    object* array = new_object(vm, object::array_kind);
    array->class_name = element;
    array->elements.assign(static_cast<std::size_t>(length), as_object(initial));
    return as_handle<jobjectArray>(array);
}

jstring JNICALL new_string(JNIEnv*, const jchar* text, jsize length) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "NewString");
    const std::u16string value(reinterpret_cast<const char16_t*>(text),
                               static_cast<std::size_t>(length));
    const bool fails = is_failing(vm, "NewString");
    record("NewString \"" + units(value) + "\"" + (fails ? " -> failed" : ""));
    if (fails) {
        vm.pending = "java/lang/OutOfMemoryError";
        return nullptr;
    }
    object* string = new_object(vm, object::string_kind);
    string->text = value;
    return as_handle<jstring>(string);
}

void JNICALL set_object_array_element(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "SetObjectArrayElement");
    object* target = as_object(array);
    const bool inside = index >= 0 && static_cast<std::size_t>(index) < target->elements.size();
    record("SetObjectArrayElement " + std::to_string(index) + " " + shown(as_object(value)) +
           (inside ? "" : " -> out of bounds"));
    if (!inside) {
        vm.pending = "java/lang/ArrayIndexOutOfBoundsException";
        return;
    }
    target->elements[static_cast<std::size_t>(index)] = as_object(value);
}

void JNICALL call_static_void_method_v(JNIEnv*, jclass server, jmethodID id, va_list arguments) {
    std::unique_lock<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "CallStaticVoidMethodV");
    const auto* method = reinterpret_cast<const method_entry*>(id);
    std::string line = "CallStaticVoidMethod " + as_object(server)->class_name + "." +
                       method->name + method->descriptor;
    if (method->descriptor == string_array_descriptor) {
        line += " " + shown_array(as_object(va_arg(arguments, jobject)));
    }
    record(line);
    if (method->throws) {
        vm.pending = "java/lang/RuntimeException";
    }
    if (const end_plan* plan = end_at(vm, method->class_name + "." + method->name)) {
        const end_plan ending = *plan;
        hold.unlock();
        act_on(ending, true);
    }
}

void JNICALL call_static_void_method(JNIEnv* env, jclass server, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    call_static_void_method_v(env, server, id, arguments);
    va_end(arguments);
}

JNINativeInterface_ make_native_table() {
    JNINativeInterface_ table{};
    table.FindClass = find_class;
    table.GetStaticMethodID = get_static_method_id;
    table.ExceptionClear = exception_clear;
    table.ExceptionCheck = exception_check;
    table.ExceptionDescribe = exception_describe;
    table.NewObjectArray = new_object_array;
    table.NewString = new_string;
    table.SetObjectArrayElement = set_object_array_element;
    table.CallStaticVoidMethodV = call_static_void_method_v;
    table.CallStaticVoidMethod = call_static_void_method;
    return table;
}

const JNINativeInterface_ native_table = make_native_table();
JNIEnv_ the_env{&native_table};

} // namespace

object* new_object(vm_state& vm, object::kind_type kind) {
    vm.objects.push_back(std::make_unique<object>());
    vm.objects.back()->kind = kind;
    return vm.objects.back().get();
}

std::string units(const std::u16string& text) {
    std::string shown_units;
    for (const char16_t unit : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(unit));
        shown_units += (shown_units.empty() ? "" : " ") + std::string(hex);
    }
    return shown_units;
}

JNIEnv* jni_env() {
    return &the_env;
}

} // namespace standin
