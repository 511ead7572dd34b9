// The accounts that services run as, and what they may do with files: granting an account
// access, and finding who else may change a file. Used by orvo-service, which exists only
// on Windows; implemented by win/file_access.cpp alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/service_manager.h"

namespace platform {

// LocalSystem's identifier: the account that may use every file.
constexpr char local_system_sid[] = "S-1-5-18";

struct resolved_account {
    std::string name; // as the service control manager takes it
    std::string sid;  // string form, "S-1-5-19"
};

// Finds the account. LocalSystem, NT AUTHORITY\LocalService and NT AUTHORITY\NetworkService
// are known by their fixed identifiers; a service's own virtual account "NT SERVICE\NAME"
// is computed from NAME as Windows computes it, so that it is known before the service
// exists; any other account is looked up, and named "DOMAIN\name" as the system has it.
bool resolve_account(const std::string& account, resolved_account& resolved,
                     system_failure& failure);

// The virtual account's identifier of the service `name`: S-1-5-80 and the SHA-1 of the
// upper-case name in UTF-16, as five 32-bit parts.
std::string virtual_account_sid(const std::string& name);

enum class file_access { read, modify };

// Adds an entry allowing `sid` the access to the file or folder at `path`; a folder's
// entry is inherited by everything it holds, and by what is created in it later.
bool grant_access(const std::string& path, const std::string& sid, file_access access,
                  system_failure& failure);

// The access that the entries of `sid` in the access list of `path` allow it, as
// grant_access gives it: modify (on a folder, inherited by what it holds), read, or none.
// False when the list cannot be read, with `failure` set.
bool access_held(const std::string& path, const std::string& sid, std::optional<file_access>& held,
                 system_failure& failure);

// Whether this system keeps the access lists that files are given: asked of a file made for
// the purpose in the temporary folder and deleted again. Wine accepts every change of an
// access list and keeps none; a doubt (no file can be made) is taken as yes.
bool access_lists_kept();

// The principals whose entries in the access list of `path` let them change it: write or
// delete it, add files or folders to it, change its access list or owner. Administrators,
// SYSTEM, TrustedInstaller and `own_sid` are left out; each other one is named as the
// system names it, or by its identifier. An absent access list lets everyone change it.
bool other_writers(const std::string& path, const std::string& own_sid,
                   std::vector<std::string>& writers, system_failure& failure);

// `path` made absolute against the current folder.
std::string full_path(const std::string& path);

// The running program's own path.
std::string program_path();

// Creates the folder and any missing folders above it; true when it exists afterwards.
bool create_folders(const std::string& path, system_failure& failure);

// Reads one line from the console without showing it, after writing `prompt`; from
// standard input as it comes when that is no console. Either way the prompt's line is
// ended, so that what is written next starts a line of its own. Empty when nothing could
// be read.
std::optional<std::string> read_secret(const std::string& prompt);

} // namespace platform
