// The stand-in's native functions: classes, static methods, strings, arrays, exceptions.
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
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
    if (name == "java/lang/String" || name == "java/lang/Class" ||
        name == "java/lang/NoClassDefFoundError" || name == "java/lang/ClassNotFoundException") {
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

// What loading the class `name` throws: empty when it loads.
std::string load_failure(const vm_state& vm, const std::string& name) {
    const std::string initialiser = name + ".<clinit>";
    for (const std::string& value : vm.throwing) {
        const std::string::size_type equals = value.find('=');
        if (value.substr(0, equals) == initialiser) {
            return equals == std::string::npos ? "java/lang/ExceptionInInitializerError"
                                               : value.substr(equals + 1);
        }
    }
    return std::string();
}

} // namespace

std::u16string widened(const std::string& text) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        char32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k) {
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(code);
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return units;
}

namespace {

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
    const std::string failure = exists ? load_failure(vm, name) : std::string();
    record(std::string("FindClass ") + name +
           (!exists           ? " -> missing"
            : failure.empty() ? ""
                              : " -> threw " + failure));
    if (!exists || !failure.empty()) {
        vm.pending = exists ? failure : "java/lang/NoClassDefFoundError";
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
    print_exception(state(), state().pending);
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
    // What the method does, as the program's class would: its calls of orvo.Service first,
    // then the lines it writes.
    const std::string moment = method->class_name + "." + method->name;
    const std::string throws = method->throws;
    const std::vector<write_plan> writes = writes_at(vm, moment);
    hold.unlock();
    make_calls(moment);
    for (const write_plan& plan : writes) {
        write_burst(plan);
    }
    hold.lock();
    vm.pending = throws;
    if (const end_plan* plan = end_at(vm, moment)) {
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

// The one instance method the host calls: Class.getName(), whose ID is this entry.
const method_entry class_get_name{"java/lang/Class", "getName", "()Ljava/lang/String;", ""};

// A new object of `kind` and `class_name`, as the handle type the caller wants.
template <typename Handle>
Handle make(vm_state& vm, object::kind_type kind, const std::string& class_name) {
    object* made = new_object(vm, kind);
    made->class_name = class_name;
    return as_handle<Handle>(made);
}

jthrowable JNICALL exception_occurred(JNIEnv*) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "ExceptionOccurred");
    record("ExceptionOccurred -> " + (vm.pending.empty() ? "null" : vm.pending));
    return vm.pending.empty() ? nullptr : make<jthrowable>(vm, object::instance_kind, vm.pending);
}

jint JNICALL throw_exception(JNIEnv*, jthrowable thrown) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "Throw");
    record("Throw " + as_object(thrown)->class_name);
    vm.pending = as_object(thrown)->class_name;
    return JNI_OK;
}

jclass JNICALL get_object_class(JNIEnv*, jobject instance) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "GetObjectClass");
    const object* target = as_object(instance);
    const std::string name =
        target->kind == object::class_kind ? "java/lang/Class" : target->class_name;
    record("GetObjectClass -> " + name);
    return make<jclass>(vm, object::class_kind, name);
}

jmethodID JNICALL get_method_id(JNIEnv*, jclass type, const char* name, const char* descriptor) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "GetMethodID");
    const std::string class_name = as_object(type)->class_name;
    const bool known = class_name == class_get_name.class_name && name == class_get_name.name &&
                       descriptor == class_get_name.descriptor;
    record("GetMethodID " + class_name + " " + name + " " + descriptor +
           (known ? "" : " -> missing"));
    if (!known) {
        vm.pending = "java/lang/NoSuchMethodError";
        return nullptr;
    }
    return reinterpret_cast<jmethodID>(const_cast<method_entry*>(&class_get_name));
}

// Class.getName() of a class object: the name with dots.
jobject JNICALL call_object_method_v(JNIEnv*, jobject target, jmethodID id, va_list) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "CallObjectMethodV");
    const auto* method = reinterpret_cast<const method_entry*>(id);
    std::string dotted = as_object(target)->class_name;
    for (char& c : dotted) {
        c = c == '/' ? '.' : c;
    }
    record("CallObjectMethod " + as_object(target)->class_name + "." + method->name);
    object* name = new_object(vm, object::string_kind);
    name->text = widened(dotted);
    return as_handle<jobject>(name);
}

jobject JNICALL call_object_method(JNIEnv* env, jobject target, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    const jobject result = call_object_method_v(env, target, id, arguments);
    va_end(arguments);
    return result;
}

// Whether `instance` is of the class `type` exactly: the stand-in knows no class's parents.
jboolean JNICALL is_instance_of(JNIEnv*, jobject instance, jclass type) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "IsInstanceOf");
    const bool is = as_object(instance)->class_name == as_object(type)->class_name;
    record("IsInstanceOf " + as_object(instance)->class_name + " " + as_object(type)->class_name +
           (is ? " -> true" : " -> false"));
    return is ? JNI_TRUE : JNI_FALSE;
}

jsize JNICALL get_string_length(JNIEnv*, jstring text) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "GetStringLength");
    return static_cast<jsize>(as_object(text)->text.size());
}

void JNICALL get_string_region(JNIEnv*, jstring text, jsize start, jsize length, jchar* buffer) {
    std::lock_guard<std::mutex> hold(state_lock());
    check_attached(state(), "GetStringRegion");
    const std::u16string part = as_object(text)->text.substr(static_cast<std::size_t>(start),
                                                             static_cast<std::size_t>(length));
    std::copy(part.begin(), part.end(), reinterpret_cast<char16_t*>(buffer));
    record("GetStringRegion -> \"" + units(part) + "\"");
}

// The host defines orvo.Service from its bytes: the class exists from then on.
jclass JNICALL define_class(JNIEnv*, const char* name, jobject loader, const jbyte* bytes,
                            jsize length) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "DefineClass");
    const bool fails = is_failing(vm, "DefineClass");
    const unsigned char magic[] = {0xCA, 0xFE, 0xBA, 0xBE};
    const bool class_file =
        bytes != nullptr && length > 4 &&
        std::equal(magic, magic + 4, reinterpret_cast<const unsigned char*>(bytes));
    record(std::string("DefineClass ") + (name == nullptr ? "(null)" : name) +
           " loader=" + (loader == nullptr ? "boot" : "given") +
           (class_file ? "" : " from no class file") + (fails ? " -> failed" : ""));
    if (fails || name == nullptr) {
        vm.pending = "java/lang/ClassFormatError";
        return nullptr;
    }
    vm.classes.push_back(name);
    return make<jclass>(vm, object::class_kind, name);
}

jint JNICALL register_natives(JNIEnv*, jclass type, const JNINativeMethod* methods, jint count) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    check_attached(vm, "RegisterNatives");
    const std::string class_name = as_object(type)->class_name;
    const bool fails = is_failing(vm, "RegisterNatives");
    std::string line = "RegisterNatives " + class_name;
    for (jint i = 0; i < count; ++i) {
        line += std::string(" ") + methods[i].name + methods[i].signature;
        if (!fails) {
            vm.natives.push_back(
                {class_name, methods[i].name, methods[i].signature, methods[i].fnPtr});
        }
    }
    record(line + (fails ? " -> failed" : ""));
    if (fails) {
        vm.pending = "java/lang/NoSuchMethodError";
        return JNI_ERR;
    }
    return JNI_OK;
}

void JNICALL delete_local_ref(JNIEnv*, jobject) {}

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
    table.ExceptionOccurred = exception_occurred;
    table.Throw = throw_exception;
    table.GetObjectClass = get_object_class;
    table.GetMethodID = get_method_id;
    table.CallObjectMethodV = call_object_method_v;
    table.CallObjectMethod = call_object_method;
    table.IsInstanceOf = is_instance_of;
    table.GetStringLength = get_string_length;
    table.GetStringRegion = get_string_region;
    table.DefineClass = define_class;
    table.RegisterNatives = register_natives;
    table.DeleteLocalRef = delete_local_ref;
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

void print_exception(const vm_state& vm, const std::string& class_name) {
    if (!vm.describe) {
        return;
    }
    std::string line = "Exception in thread \"standin\" " + class_name + "\n";
    for (char& c : line) {
        c = c == '/' ? '.' : c;
    }
    // Where the host writes its own lines, so that the two keep their order.
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
#else
    const ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    static_cast<void>(ignored);
#endif
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
