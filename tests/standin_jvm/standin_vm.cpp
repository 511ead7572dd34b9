// The stand-in's invocation side: creation, attaching, destruction, and the record.
#include <cstdio>
#include <string>

#include "standin.h"

#ifdef _WIN32
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace standin {

namespace {

std::string the_record;

const std::string prefix = "-Dstandin.";

bool starts_with(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// "a/B.name(desc)V" into its class, name and descriptor.
void add_method(vm_state& vm, const std::string& value) {
    const auto paren = value.find('(');
    const auto dot = value.rfind('.', paren);
    auto method = std::make_unique<method_entry>();
    method->class_name = value.substr(0, dot);
    method->name = value.substr(dot + 1, paren - dot - 1);
    method->descriptor = value.substr(paren);
    vm.methods.push_back(std::move(method));
}

void append_utf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// `text` with each "\u{HEX}" replaced by that character in UTF-8. On Windows the options
// reach a VM in the ANSI code page, which holds few characters: a name beyond it is
// written so.
std::string unescaped(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t close =
            text.compare(i, 3, "\\u{") == 0 ? text.find('}', i) : std::string::npos;
        if (close == std::string::npos) {
            result += text[i];
            continue;
        }
        append_utf8(result, static_cast<char32_t>(
                                std::stoul(text.substr(i + 3, close - i - 3), nullptr, 16)));
        i = close;
    }
    return result;
}

// False for an unknown stand-in key or "-X" option.
bool configure(vm_state& vm, const std::string& option) {
    if (starts_with(option, "-X")) {
        const std::string name = option.substr(0, 4);
        return name == "-Xms" || name == "-Xmx" || name == "-Xss";
    }
    if (!starts_with(option, prefix)) {
        return true;
    }
    const auto equals = option.find('=');
    const std::string key = option.substr(prefix.size(), equals - prefix.size());
    const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
    if (key == "class") {
        vm.classes.push_back(value);
    } else if (key == "method") {
        add_method(vm, value);
    } else if (key == "throws") {
        vm.throwing.push_back(unescaped(value));
    } else if (key == "fail") {
        vm.failing.push_back(value);
    } else if (key == "end") {
        return add_end(vm, value);
    } else if (key == "call") {
        return add_call(vm, value);
    } else if (key == "write") {
        return add_write(vm, value);
    } else if (key == "report") {
        vm.reports.push_back(value);
    } else if (key == "describe") {
        vm.describe = true;
    } else {
        return false;
    }
    return true;
}

// "a/B.name" throws a java/lang/RuntimeException, "a/B.name=c/D" a c/D.
void mark_throwing(vm_state& vm) {
    for (auto& method : vm.methods) {
        for (const std::string& value : vm.throwing) {
            const std::string::size_type equals = value.find('=');
            const std::string name = value.substr(0, equals);
            if (name == method->class_name + "." + method->name) {
                method->throws = equals == std::string::npos ? "java/lang/RuntimeException"
                                                             : value.substr(equals + 1);
            }
        }
    }
}

// The hooks come as options of their own, their function in extraInfo.
void take_hook(const JavaVMOption& option) {
    const std::string name = option.optionString;
    if (name == "exit") {
        hooks().exit = reinterpret_cast<void(JNICALL*)(jint)>(option.extraInfo);
    } else if (name == "abort") {
        hooks().abort = reinterpret_cast<void(JNICALL*)()>(option.extraInfo);
    }
}

bool read_options(vm_state& vm, const JavaVMInitArgs& arguments) {
    bool known = true;
    for (jint i = 0; i < arguments.nOptions; ++i) {
        const std::string option = arguments.options[i].optionString;
        record("  option " + option);
        take_hook(arguments.options[i]);
        known = configure(vm, option) && known;
    }
    mark_throwing(vm);
    return known;
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

void record_arguments(const JavaVMInitArgs& arguments) {
    record("JNI_CreateJavaVM version=" + hex(static_cast<unsigned>(arguments.version)) +
           " options=" + std::to_string(arguments.nOptions) +
           " ignoreUnrecognized=" + std::to_string(arguments.ignoreUnrecognized));
}

jint JNICALL destroy_java_vm(JavaVM*) {
    std::unique_lock<std::mutex> hold(state_lock());
    vm_state& vm = state();
    const std::vector<write_plan> writes = writes_at(vm, "destroy");
    hold.unlock();
    for (const write_plan& plan : writes) {
        write_burst(plan);
    }
    hold.lock();
    if (const end_plan* plan = end_at(vm, "destroy")) {
        const end_plan waiting = *plan;
        hold.unlock();
        act_on(waiting, true);
        hold.lock();
    }
    wait_for_calling_threads(hold);
    const auto others = vm.attached.size() - vm.attached.count(std::this_thread::get_id());
    record("DestroyJavaVM other_threads_attached=" + std::to_string(others));
    vm = vm_state{};
    return JNI_OK;
}

jint JNICALL attach_current_thread(JavaVM*, void** env, void* arguments) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    const std::string shown = arguments == nullptr ? "null" : "given";
    if (is_failing(vm, "AttachCurrentThread")) {
        record("AttachCurrentThread arguments=" + shown + " -> failed");
        *env = nullptr;
        return JNI_ERR;
    }
    const bool was_attached = !vm.attached.insert(std::this_thread::get_id()).second;
    record("AttachCurrentThread arguments=" + shown + (was_attached ? " (already attached)" : ""));
    *env = jni_env();
    return JNI_OK;
}

jint JNICALL detach_current_thread(JavaVM*) {
    std::lock_guard<std::mutex> hold(state_lock());
    vm_state& vm = state();
    const bool was_attached = vm.attached.erase(std::this_thread::get_id()) > 0;
    record("DetachCurrentThread" + std::string(was_attached ? "" : " (not attached)") +
           (vm.pending.empty() ? "" : " pending=" + vm.pending));
    if (!vm.pending.empty()) {
        print_exception(vm, vm.pending);
    }
    vm.pending.clear();
    return JNI_OK;
}

JNIInvokeInterface_ make_invoke_table() {
    JNIInvokeInterface_ table{};
    table.DestroyJavaVM = destroy_java_vm;
    table.AttachCurrentThread = attach_current_thread;
    table.DetachCurrentThread = detach_current_thread;
    return table;
}

const JNIInvokeInterface_ invoke_table = make_invoke_table();
JavaVM_ the_vm{&invoke_table};

jint create(vm_state& vm, JavaVM** created, void** env, const JavaVMInitArgs& arguments) {
    record_arguments(arguments);
    if (vm.created) {
        record("  -> a VM exists already");
        return JNI_EEXIST;
    }
    const bool known = read_options(vm, arguments);
    // A library that leaves its pointer behind on failure: the host must not trust it.
    *created = &the_vm;
    if (!known || is_failing(vm, "JNI_CreateJavaVM")) {
        record(known ? "  -> failed" : "  -> unrecognized option");
        vm = vm_state{};
        return known ? JNI_ERR : JNI_EINVAL;
    }
    vm.created = true;
    for (const std::string& what : vm.reports) {
        report_process(what);
    }
    vm.attached.insert(std::this_thread::get_id());
    *env = jni_env();
    watch_end_events(vm);
    watch_call_events(vm);
    watch_write_events(vm);
    return JNI_OK;
}

} // namespace

vm_state& state() {
    static vm_state vm;
    return vm;
}

std::mutex& state_lock() {
    static std::mutex lock;
    return lock;
}

void record(const std::string& line) {
    the_record += line + "\n";
}

bool is_failing(const vm_state& vm, const std::string& function) {
    for (const std::string& name : vm.failing) {
        if (name == function) {
            return true;
        }
    }
    return false;
}

JavaVM* java_vm() {
    return &the_vm;
}

} // namespace standin

STANDIN_EXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
    standin::end_plan ending;
    jint result;
    std::vector<standin::write_plan> writes;
    {
        std::lock_guard<std::mutex> hold(standin::state_lock());
        result = standin::create(standin::state(), vm, env,
                                 *static_cast<const JavaVMInitArgs*>(arguments));
        writes = standin::writes_at(standin::state(), "create");
    }
    for (const standin::write_plan& plan : writes) {
        standin::write_burst(plan);
    }
    {
        std::lock_guard<std::mutex> hold(standin::state_lock());
        const standin::end_plan* plan = standin::end_at(standin::state(), "create");
        if (plan == nullptr) {
            return result;
        }
        ending = *plan;
    }
    standin::act_on(ending, false);
    return result;
}

// The record so far, one call a line; valid until the next call into the stand-in.
STANDIN_EXPORT const char* standin_record() {
    std::lock_guard<std::mutex> hold(standin::state_lock());
    return standin::the_record.c_str();
}

STANDIN_EXPORT void standin_clear_record() {
    std::lock_guard<std::mutex> hold(standin::state_lock());
    standin::the_record.clear();
}
