// What the stand-in reports of the process it is created in, as a real VM reads it: its
// current directory (user.dir) and environment variables. On Windows a variable is read
// twice: from the process's environment block (what System.getenv reads) and from the
// Universal C runtime's own copy (what a real VM's getenv reads while it is created, e.g.
// JAVA_TOOL_OPTIONS).
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdlib>

#include "standin.h"

namespace standin {

namespace {

std::string current_directory() {
    char buffer[4096];
#ifdef _WIN32
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "?";
#else
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "?";
#endif
}

std::string shown(const char* value) {
    return value != nullptr ? "\"" + std::string(value) + "\"" : "unset";
}

std::string variable(const std::string& name) {
#ifdef _WIN32
    char block[4096];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), block, sizeof block);
    std::string line = "os=" + shown(length > 0 && length < sizeof block ? block : nullptr);
    using getenv_function = char*(__cdecl*)(const char*);
    HMODULE runtime = GetModuleHandleA("ucrtbase.dll");
    if (runtime == nullptr) {
        runtime = LoadLibraryA("ucrtbase.dll");
    }
    const auto read = runtime == nullptr
                          ? nullptr
                          : reinterpret_cast<getenv_function>(
                                reinterpret_cast<void (*)()>(GetProcAddress(runtime, "getenv")));
    return line + " ucrt=" + (read != nullptr ? shown(read(name.c_str())) : "(no ucrtbase)");
#else
    return "os=" + shown(std::getenv(name.c_str()));
#endif
}

} // namespace

void report_process(const std::string& what) {
    if (what == "cwd") {
        record("report cwd " + current_directory());
    } else if (what.compare(0, 4, "env:") == 0) {
        record("report env " + what.substr(4) + " " + variable(what.substr(4)));
    }
}

} // namespace standin
