// Loading the Java VM library on Windows so that its dependencies are found where a Java
// runtime keeps them.
//
// A runtime's jvm.dll (in bin\server) imports the C runtime DLLs that the runtime ships in
// its bin folder. Windows looks for a DLL's imports in the program's folder, the system's
// folders, the current folder and the PATH, but not in the DLL's own folder nor in bin, so
// on a machine without that C runtime installed system-wide a correct path fails with
// ERROR_MOD_NOT_FOUND. The runtime's own launcher lives in bin and never meets this.
#include <windows.h>

#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/file_status.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

std::string full_path(const std::string& path) {
    const std::wstring wide = wide_text(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return std::string();
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return std::string();
    }
    return utf8_text(full.c_str(), length);
}

// Names compare as the file system compares them: letter case aside, in every script.
bool same_name(const std::string& a, const std::string& b) {
    return lstrcmpiW(wide_text(a).c_str(), wide_text(b).c_str()) == 0;
}

// The folder part of a full path; a drive's root keeps its separator ("C:\").
std::string parent_folder(const std::string& path) {
    const std::string::size_type end = path.find_last_of("\\/");
    if (end == std::string::npos) {
        return std::string();
    }
    std::string folder = path.substr(0, end);
    if (folder.empty() || folder.back() == ':') {
        folder += '\\';
    }
    return folder;
}

bool is_named(const std::string& folder, const char* name) {
    const std::string::size_type start = folder.find_last_of("\\/");
    const std::string last = start == std::string::npos ? folder : folder.substr(start + 1);
    return same_name(last, name);
}

// A runtime keeps jvm.dll in bin\server (bin\client for a 32-bit client VM) and the DLLs
// that it and the runtime's other libraries need in bin.
std::string runtime_folder(const std::string& library_folder) {
    if (is_named(library_folder, "server") || is_named(library_folder, "client")) {
        return parent_folder(library_folder);
    }
    return library_folder;
}

std::wstring dll_directory() {
    const DWORD size = GetDllDirectoryW(0, nullptr);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring folder(size, L'\0');
    const DWORD length = GetDllDirectoryW(size, folder.data());
    folder.resize(length < size ? length : 0);
    return folder;
}

std::string system_folder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t folder[MAX_PATH + 1];
    const UINT length = query(folder, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? utf8_text(folder, length) : std::string();
}

// The loader looks again in a folder named twice (PATH often repeats the system's); the
// list shows it once.
void add_folder(std::vector<library_folder>& folders, const std::string& path, bool system) {
    if (path.empty()) {
        return;
    }
    for (const library_folder& folder : folders) {
        if (same_name(folder.path, path)) {
            return;
        }
    }
    folders.push_back({path, system});
}

void add_path_folders(std::vector<library_folder>& folders) {
    const std::string path = environment_value_utf8("PATH");
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find(';', start);
        end = end == std::string::npos ? path.size() : end;
        add_folder(folders, path.substr(start, end - start), false);
        start = end + 1;
    }
}

// The second attempt. The DLL directory is the one setting that later plain LoadLibrary
// calls follow too: the runtime loads its own native libraries by full path, and their
// imports must then be found in bin as well. It is searched right after the program's own
// folder, before the system's, which is where the runtime's launcher finds bin.
// LOAD_WITH_ALTERED_SEARCH_PATH adds the library's own folder, first, for this load.
// A failed attempt leaves the DLL directory as it was.
HMODULE load_with_runtime_folder(const std::string& full, const std::string& runtime) {
    const std::wstring previous = dll_directory();
    SetDllDirectoryW(wide_text(runtime).c_str());
    HMODULE library =
        LoadLibraryExW(wide_text(full).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        const DWORD error = GetLastError();
        SetDllDirectoryW(previous.empty() ? nullptr : previous.c_str());
        SetLastError(error);
    }
    return library;
}

// The full path of an existing file that `path` names in a folder; empty otherwise.
std::string named_file(const std::string& path) {
    if (!names_folder(path)) {
        return std::string();
    }
    const std::string full = full_path(path);
    return !full.empty() && kind_of_path(full) == path_kind::file ? full : std::string();
}

} // namespace

library_handle load_jvm_library(const std::string& path) {
    // The system's standard search order first, which is all that a machine with the C
    // runtime installed needs.
    library_handle library = load_library(path);
    if (library != nullptr || GetLastError() != ERROR_MOD_NOT_FOUND) {
        return library;
    }
    const std::string full = named_file(path);
    if (full.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return load_with_runtime_folder(full, runtime_folder(parent_folder(full)));
}

// The order in which the loader searches with LOAD_WITH_ALTERED_SEARCH_PATH and a DLL
// directory set: the library's folder, the DLL directory, the system folder, the 16-bit
// system folder, the Windows folder, the PATH.
std::vector<library_folder> dependency_folders(const std::string& path) {
    std::vector<library_folder> folders;
    const std::string full = named_file(path);
    if (full.empty()) {
        return folders;
    }
    const std::string own = parent_folder(full);
    add_folder(folders, own, false);
    add_folder(folders, runtime_folder(own), false);
    const std::string windows = system_folder(GetWindowsDirectoryW);
    add_folder(folders, system_folder(GetSystemDirectoryW), true);
    add_folder(folders, windows.empty() ? windows : in_folder(windows, "System"), true);
    add_folder(folders, windows, true);
    add_path_folders(folders);
    return folders;
}

} // namespace platform
