// A Java VM library for the Windows service tests: it hands the creation to the stand-in
// VM and, since the service process is not the test's, writes the stand-in's record of
// calls to a file when the service releases the library (or when the process ends without
// having released it). It also writes one line to standard output at the creation, which
// must reach the service's stdout log.
//
// Options it reads (the stand-in ignores them): -Drecording.standin=PATH of the stand-in,
// -Drecording.file=PATH of the record, -Drecording.load=PATH of a library to load with a
// plain LoadLibraryA once created, as a VM loads its own native libraries (the creation
// fails when that load fails).
//
// The line it writes comes from standin_runtime_line(): built in, or imported from a
// stand-in C runtime DLL for the tests of a Java runtime's layout.
#include <windows.h>

#include <jni.h>

#include <string>

extern "C" const char* standin_runtime_line();

namespace {

HMODULE standin = nullptr;
std::string record_path;

using create_function = jint(JNICALL*)(JavaVM**, void**, void*);
using record_function = const char* (*)();

// GetProcAddress's result as the function's real type; void (*)() is the neutral go-between.
template <typename Function> Function find(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string option_value(const JavaVMInitArgs& arguments, const std::string& key) {
    for (jint i = 0; i < arguments.nOptions; ++i) {
        const std::string option = arguments.options[i].optionString;
        if (option.compare(0, key.size(), key) == 0) {
            return option.substr(key.size());
        }
    }
    return std::string();
}

void write_all(HANDLE file, const std::string& text) {
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void write_record(const char* ending) {
    if (standin == nullptr || record_path.empty()) {
        return;
    }
    const auto recorded = find<record_function>(standin, "standin_record");
    const HANDLE file = CreateFileA(record_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    write_all(file, std::string(recorded != nullptr ? recorded() : "") + ending + "\n");
    CloseHandle(file);
}

} // namespace

extern "C" __declspec(dllexport) jint JNICALL
    JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
    const auto& init = *static_cast<JavaVMInitArgs*>(arguments);
    record_path = option_value(init, "-Drecording.file=");
    standin = LoadLibraryA(option_value(init, "-Drecording.standin=").c_str());
    const auto create =
        standin == nullptr ? nullptr : find<create_function>(standin, "JNI_CreateJavaVM");
    if (create == nullptr) {
        return JNI_ERR;
    }
    const std::string later = option_value(init, "-Drecording.load=");
    if (!later.empty() && LoadLibraryA(later.c_str()) == nullptr) {
        return JNI_ERR;
    }
    write_all(GetStdHandle(STD_OUTPUT_HANDLE), standin_runtime_line());
    return create(vm, env, arguments);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) {
        // A null `reserved` means FreeLibrary, anything else the end of the process.
        write_record(reserved == nullptr ? "library released" : "process ended, library held");
    }
    return TRUE;
}
