// What a path names, on Windows: GetFileAttributesW. Both "\" and "/" separate folders.
#include "platform/file_status.h"

#include <windows.h>

#include <vector>

#include "platform/win/wide_text.h"

namespace platform {

path_kind kind_of_path(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide_text(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return path_kind::missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? path_kind::directory : path_kind::file;
}

bool names_folder(const std::string& path) {
    return path.find_first_of("\\/") != std::string::npos;
}

std::string in_folder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + folder_separator + name;
}

std::string folder_of(const std::string& path) {
    const std::string::size_type separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string containing_folder(const std::string& path) {
    std::string folder = folder_of(path);
    if (folder.empty()) {
        return ".";
    }
    // A root keeps its separator ("C:\", "\"), and "C:" is a folder of its own (drive C's
    // current one).
    const bool root =
        folder.size() == 1 || folder.back() == ':' || (folder.size() == 3 && folder[1] == ':');
    if (!root) {
        folder.pop_back();
    }
    return folder;
}

// "C:x" is not absolute (it is relative to drive C's own current folder), but joining
// another folder in front of it would make a path that names nothing: it is kept as it is.
std::string resolved_in(const std::string& folder, const std::string& path) {
    const bool own_drive = path.size() >= 2 && path[1] == ':';
    return folder.empty() || own_drive || is_absolute_path(path) ? path : in_folder(folder, path);
}

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool is_drive_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The security descriptor of `path` (owner, group and access list); empty when the file
// system keeps none or the query fails.
std::vector<char> security_of(const std::string& path) {
    const SECURITY_INFORMATION parts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    const std::wstring wide = wide_text(path);
    DWORD size = 0;
    GetFileSecurityW(wide.c_str(), parts, nullptr, 0, &size);
    std::vector<char> descriptor(size);
    if (size == 0 || !GetFileSecurityW(wide.c_str(), parts, descriptor.data(), size, &size)) {
        descriptor.clear();
    }
    return descriptor;
}

// Whether the access list grants `wanted` to this process's user. AccessCheck needs an
// impersonation token, so the process's own token is duplicated as one.
bool access_granted(std::vector<char>& descriptor, DWORD wanted) {
    HANDLE process_token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process_token)) {
        return true;
    }
    HANDLE token = nullptr;
    const BOOL duplicated = DuplicateToken(process_token, SecurityImpersonation, &token);
    CloseHandle(process_token);
    if (!duplicated) {
        return true;
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privileges_size = sizeof privileges;
    DWORD granted = 0;
    BOOL allowed = FALSE;
    const BOOL checked = AccessCheck(descriptor.data(), token, wanted, &mapping, &privileges,
                                     &privileges_size, &granted, &allowed);
    CloseHandle(token);
    return !checked || allowed;
}

} // namespace

bool is_absolute_path(const std::string& path) {
    if (!path.empty() && is_separator(path[0])) {
        return true; // "\\server\share" or the current drive's root
    }
    return path.size() >= 3 && is_drive_letter(path[0]) && path[1] == ':' && is_separator(path[2]);
}

// The read-only attribute keeps a file from being written but not a folder from receiving
// files; beyond it, the access list decides.
bool may_write(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide_text(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    std::vector<char> descriptor = security_of(path);
    if (descriptor.empty()) {
        return true;
    }
    return access_granted(descriptor, folder ? FILE_ADD_FILE : FILE_APPEND_DATA);
}

} // namespace platform
