// Why the Java VM library could not be loaded, as facts an operator can act on. Gathered
// by orvo-check after the load failed; nothing more is loaded.
#pragma once

#include <string>
#include <vector>

#include "platform/file_status.h"
#include "platform/jvm_locations.h"
#include "tools/settings_check/binary_format.h"

struct load_diagnosis {
    std::string path;           // the configured dll_path
    std::string system_message; // the system's own words for the failure
    bool names_folder = false;  // false: the system looked for the name along its search order
    platform::path_kind kind = platform::path_kind::missing;
    bool readable = false;       // the file could be opened for reading
    binary_format format;        // what its header says, when it could be read
    bool loadable = false;       // it is the kind of library this program loads
    bool imports_walked = false; // its imports were looked for, as the loader looks for them
    // The imports, from the library's own down, that lead to the first one found in none of
    // searched_folders; empty when every one was found.
    std::vector<std::string> missing_import;
    std::vector<std::string> searched_folders;
    // Loadable JVM libraries in the usual places, other than the configured one.
    std::vector<platform::jvm_location> hints;
};

load_diagnosis diagnose_load_failure(const std::string& path, const std::string& system_message);

// The JVM libraries of the usual places that exist and that this program can load, each
// once, leaving out `configured`.
std::vector<platform::jvm_location> jvm_hints(const std::string& configured);
