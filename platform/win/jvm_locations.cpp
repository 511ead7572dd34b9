// The usual places of Java runtimes on Windows: JAVA_HOME and the runtimes that installers
// register under HKLM\SOFTWARE\JavaSoft (the 64-bit view: orvo loads only 64-bit VMs).
#include "platform/jvm_locations.h"

#include <windows.h>

#include "platform/environment.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

const char javasoft[] = "SOFTWARE\\JavaSoft\\";
const char* const registry_keys[] = {"JDK", "JRE", "Java Development Kit",
                                     "Java Runtime Environment"};

void add_runtime(std::vector<jvm_location>& locations, std::string home,
                 const std::string& source) {
    if (home.empty()) {
        return;
    }
    if (home.back() != '\\' && home.back() != '/') {
        home += '\\';
    }
    locations.push_back({home + "bin\\server\\jvm.dll", source});
    locations.push_back({home + "jre\\bin\\server\\jvm.dll", source});
}

// A string value of `subkey`; empty when there is none.
std::string registry_string(HKEY key, const std::wstring& subkey, const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(key, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0) {
        return std::string();
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(key, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    return utf8_text(value.c_str());
}

// Every version registered under one JavaSoft key. A runtime of the old kind names its
// JVM library itself (RuntimeLib), which is looked at first.
void add_registered(std::vector<jvm_location>& locations, const std::string& key_name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide_text(javasoft + key_name).c_str(), 0,
                      KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return;
    }
    wchar_t version[256];
    DWORD length = 256;
    for (DWORD index = 0; RegEnumKeyExW(key, index, version, &length, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
        const std::string source = "HKLM\\" + (javasoft + key_name) + "\\" + utf8_text(version);
        const std::string library = registry_string(key, version, L"RuntimeLib");
        if (!library.empty()) {
            locations.push_back({library, source});
        }
        add_runtime(locations, registry_string(key, version, L"JavaHome"), source);
    }
    RegCloseKey(key);
}

} // namespace

std::vector<jvm_location> usual_jvm_locations() {
    std::vector<jvm_location> locations;
    const std::string java_home = environment_value_utf8("JAVA_HOME");
    if (!java_home.empty()) {
        add_runtime(locations, java_home, "JAVA_HOME");
    }
    for (const char* key_name : registry_keys) {
        add_registered(locations, key_name);
    }
    return locations;
}

} // namespace platform
