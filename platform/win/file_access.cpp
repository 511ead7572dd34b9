// Accounts and access lists (advapi32), for installing a service.
#include "platform/file_access.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <wincrypt.h>

#include <algorithm>
#include <iostream>

#include "platform/win/system_message.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

const char administrators_sid[] = "S-1-5-32-544";
const char trusted_installer_sid[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct built_in_account {
    const char* name; // as the manager takes it
    const char* other_name;
    const char* sid;
};

const built_in_account built_in_accounts[] = {
    {"LocalSystem", "NT AUTHORITY\\SYSTEM", local_system_sid},
    {"NT AUTHORITY\\LocalService", "LocalService", "S-1-5-19"},
    {"NT AUTHORITY\\NetworkService", "NetworkService", "S-1-5-20"},
};

const char virtual_prefix[] = "NT SERVICE\\";

bool equal_names(const std::string& a, const char* b) {
    return _stricmp(a.c_str(), b) == 0;
}

std::wstring upper_case(const std::string& name) {
    std::wstring text = wide_text(name);
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                 text.data(), static_cast<int>(text.size()));
    return text;
}

// SHA-1 of `size` bytes; empty when the system's provider is not there.
std::vector<BYTE> sha1(const void* data, DWORD size) {
    std::vector<BYTE> digest;
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
            DWORD length = 20;
            digest.resize(length);
            if (!CryptHashData(hash, static_cast<const BYTE*>(data), size, 0) ||
                !CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &length, 0)) {
                digest.clear();
            }
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }
    return digest;
}

std::string sid_text(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) {
        return std::string();
    }
    std::string result(text);
    LocalFree(text);
    return result;
}

// "DOMAIN\name" as the system names `sid`, or the identifier itself. Names of accounts and
// domains may be in any language.
std::string sid_name(PSID sid, const std::string& text) {
    wchar_t name[256];
    wchar_t domain[256];
    DWORD name_size = 256;
    DWORD domain_size = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use)) {
        return text;
    }
    return domain[0] != L'\0' ? utf8_text(domain) + "\\" + utf8_text(name) : utf8_text(name);
}

// Rights that let their holder change what a file holds, or what a folder holds.
constexpr DWORD changing_rights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                                  WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct security_descriptor {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    ~security_descriptor() { LocalFree(descriptor); }
};

DWORD read_dacl(const std::string& path, security_descriptor& security) {
    return GetNamedSecurityInfoW(wide_text(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, &security.dacl, nullptr, &security.descriptor);
}

constexpr DWORD read_rights = FILE_GENERIC_READ;
constexpr DWORD modify_rights =
    FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
constexpr BYTE inherited_by_all = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// Calls `each` with every allowing entry of the list that applies to the object itself.
template <typename Each> void for_each_allowed(PACL dacl, Each each) {
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry)) {
            continue;
        }
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (allowed->Header.AceFlags & INHERIT_ONLY_ACE) == 0) {
            each(*allowed, sid_text(const_cast<DWORD*>(&allowed->SidStart)));
        }
    }
}

} // namespace

std::string virtual_account_sid(const std::string& name) {
    const std::wstring upper = upper_case(name);
    const std::vector<BYTE> digest =
        sha1(upper.data(), static_cast<DWORD>(upper.size() * sizeof(wchar_t)));
    if (digest.size() != 20) {
        return std::string();
    }
    std::string sid = "S-1-5-80";
    for (std::size_t part = 0; part < 5; ++part) {
        const BYTE* bytes = digest.data() + part * 4;
        const std::uint32_t value =
            bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
        sid += "-" + std::to_string(value);
    }
    return sid;
}

bool resolve_account(const std::string& account, resolved_account& resolved,
                     system_failure& failure) {
    for (const built_in_account& known : built_in_accounts) {
        if (equal_names(account, known.name) || equal_names(account, known.other_name)) {
            resolved = {known.name, known.sid};
            return true;
        }
    }
    if (account.size() > sizeof virtual_prefix - 1 &&
        _strnicmp(account.c_str(), virtual_prefix, sizeof virtual_prefix - 1) == 0) {
        resolved = {account, virtual_account_sid(account.substr(sizeof virtual_prefix - 1))};
        if (resolved.sid.empty()) {
            failure = failure_of(GetLastError());
            return false;
        }
        return true;
    }
    // ".\name", the service control manager's way to name a user of this machine, is
    // looked up by its bare name, which finds the machine's own user first.
    const std::string looked_up = account.compare(0, 2, ".\\") == 0 ? account.substr(2) : account;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof sid;
    wchar_t domain[256];
    DWORD domain_size = 256;
    SID_NAME_USE use;
    if (!LookupAccountNameW(nullptr, wide_text(looked_up).c_str(), sid, &sid_size, domain,
                            &domain_size, &use)) {
        failure = failure_of(GetLastError());
        return false;
    }
    const std::string::size_type separator = account.find('\\');
    const std::string bare =
        separator == std::string::npos ? account : account.substr(separator + 1);
    resolved = {domain[0] != L'\0' ? utf8_text(domain) + "\\" + bare : bare, sid_text(sid)};
    return true;
}

bool grant_access(const std::string& path, const std::string& sid, file_access access,
                  system_failure& failure) {
    security_descriptor security;
    PSID trustee = nullptr;
    PACL updated = nullptr;
    DWORD result = read_dacl(path, security);
    if (result == ERROR_SUCCESS && !ConvertStringSidToSidA(sid.c_str(), &trustee)) {
        result = GetLastError();
    }
    if (result == ERROR_SUCCESS) {
        EXPLICIT_ACCESSW entry{};
        entry.grfAccessPermissions = access == file_access::read ? read_rights : modify_rights;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance =
            access == file_access::read ? NO_INHERITANCE : SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
        entry.Trustee.ptstrName = static_cast<LPWSTR>(trustee);
        result = SetEntriesInAclW(1, &entry, security.dacl, &updated);
    }
    if (result == ERROR_SUCCESS) {
        std::wstring wide = wide_text(path);
        result = SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                       nullptr, nullptr, updated, nullptr);
    }
    LocalFree(updated);
    LocalFree(trustee);
    if (result != ERROR_SUCCESS) {
        failure = failure_of(result);
        return false;
    }
    return true;
}

bool access_held(const std::string& path, const std::string& sid, std::optional<file_access>& held,
                 system_failure& failure) {
    security_descriptor security;
    const DWORD result = read_dacl(path, security);
    if (result != ERROR_SUCCESS) {
        failure = failure_of(result);
        return false;
    }
    held.reset();
    for_each_allowed(security.dacl, [&](const ACCESS_ALLOWED_ACE& entry, const std::string& text) {
        if (text != sid) {
            return;
        }
        if ((entry.Mask & modify_rights) == modify_rights &&
            (entry.Header.AceFlags & inherited_by_all) == inherited_by_all) {
            held = file_access::modify;
        } else if ((entry.Mask & read_rights) == read_rights && !held) {
            held = file_access::read;
        }
    });
    return true;
}

bool access_lists_kept() {
    // The wide calls: the temporary folder is in the user's profile, named in any language.
    wchar_t folder[MAX_PATH + 1];
    wchar_t file[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"orv", 0, file) == 0) {
        return true;
    }
    const std::string path = utf8_text(file);
    const char local_service[] = "S-1-5-19";
    std::optional<file_access> held;
    system_failure failure;
    const bool kept = !grant_access(path, local_service, file_access::read, failure) ||
                      !access_held(path, local_service, held, failure) || held.has_value();
    DeleteFileW(file);
    return kept;
}

bool other_writers(const std::string& path, const std::string& own_sid,
                   std::vector<std::string>& writers, system_failure& failure) {
    security_descriptor security;
    const DWORD result = read_dacl(path, security);
    if (result != ERROR_SUCCESS) {
        failure = failure_of(result);
        return false;
    }
    if (security.dacl == nullptr) {
        writers.push_back("Everyone (the file has no access list)");
        return true;
    }
    for_each_allowed(security.dacl, [&](const ACCESS_ALLOWED_ACE& entry, const std::string& text) {
        if ((entry.Mask & changing_rights) == 0 || text == local_system_sid ||
            text == administrators_sid || text == trusted_installer_sid || text == own_sid) {
            return;
        }
        const std::string name = sid_name(const_cast<DWORD*>(&entry.SidStart), text);
        if (std::find(writers.begin(), writers.end(), name) == writers.end()) {
            writers.push_back(name);
        }
    });
    return true;
}

std::string full_path(const std::string& path) {
    const std::wstring wide = wide_text(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring result(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, result.data(), nullptr);
    return length > 0 && length < size ? utf8_text(result.c_str(), length) : path;
}

std::string program_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            return utf8_text(path.c_str(), length);
        }
        path.resize(path.size() * 2);
    }
}

bool create_folders(const std::string& path, system_failure& failure) {
    const std::wstring wide = wide_text(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    const std::string::size_type separator = path.find_last_of("\\/");
    if (separator != std::string::npos && separator > 0 && path[separator - 1] != ':' &&
        !create_folders(path.substr(0, separator), failure)) {
        return false;
    }
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        failure = failure_of(GetLastError());
        return false;
    }
    return true;
}

namespace {

// One line typed at the console, in UTF-8: read as bytes it would come in the console's
// code page, which holds few of the characters a password may have.
bool read_console_line(HANDLE input, std::string& line) {
    std::wstring text;
    wchar_t unit = 0;
    DWORD count = 0;
    bool ended = false;
    while (!ended && ReadConsoleW(input, &unit, 1, &count, nullptr) && count == 1) {
        ended = unit == L'\n';
        if (!ended) {
            text += unit;
        }
    }
    line = utf8_text(text.c_str(), text.size());
    return ended || !text.empty();
}

} // namespace

std::optional<std::string> read_secret(const std::string& prompt) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != FALSE;
    std::cerr << prompt << std::flush;
    if (console) {
        SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    std::string line;
    const bool read =
        console ? read_console_line(input, line) : static_cast<bool>(std::getline(std::cin, line));
    if (console) {
        SetConsoleMode(input, mode);
    }
    // Nothing typed was echoed, the line end included.
    std::cerr << '\n';
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (!read) {
        return std::nullopt;
    }
    return line;
}

} // namespace platform
