// The environment on Windows: the process's environment block, and the copies that C
// runtimes keep of it.
#include "platform/environment.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

// The Universal C runtime, which every Java VM since JDK 11 is linked with, keeps its own
// copy of the environment, made when it is first used: the block alone would not reach
// it. Loaded here when it is not loaded yet, so that its copy is made now and kept up to
// date, whatever loaded it first.
void set_in_universal_c_runtime(const std::wstring& name, const std::wstring& value) {
    using putenv_function = int(__cdecl*)(const wchar_t*, const wchar_t*);
    HMODULE runtime = GetModuleHandleA("ucrtbase.dll");
    if (runtime == nullptr) {
        runtime = LoadLibraryA("ucrtbase.dll");
    }
    if (runtime == nullptr) {
        return; // no such runtime on this system: nothing of it can read the old value
    }
    const auto put = reinterpret_cast<putenv_function>(
        reinterpret_cast<void (*)()>(GetProcAddress(runtime, "_wputenv_s")));
    if (put != nullptr) {
        put(name.c_str(), value.c_str()); // an empty value removes the variable
    }
}

} // namespace

std::string environment_value_utf8(const std::string& name) {
    const std::wstring wide_name = wide_text(name);
    const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::string();
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
    value.resize(length < size ? length : 0);
    return utf8_text(value.c_str());
}

void set_environment_value_utf8(const std::string& name, const std::string& value) {
    const DWORD saved_error = GetLastError();
    const std::wstring wide_name = wide_text(name);
    const std::wstring wide_value = wide_text(value);
    SetEnvironmentVariableW(wide_name.c_str(), value.empty() ? nullptr : wide_value.c_str());
    set_in_universal_c_runtime(wide_name, wide_value);
    SetLastError(saved_error);
}

} // namespace platform
