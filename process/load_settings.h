// Loading the settings for a process: the file read into the record, the process set up
// as the settings say, or the reason why not, as one value that the service, orvo-check
// and orvo-service each show their own way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/exceptions.h"
#include "settings/settings.h"
#include "settings/settings_observer.h"

// Reads the file at `path` into `record`, then appends the class-path option when the
// record names a class path (expanded against the current directory). Raises what
// read_settings raises.
void load_settings(const std::string& path, settings_record& record);

// Why the settings cannot be used.
struct settings_failure {
    enum class kind {
        file,              // the file cannot be opened or read
        syntax,            // the file is not well-formed XML: `syntax`
        document,          // it is not a usable settings document: `document`
        working_directory, // the working directory cannot be entered
        vm_option,         // an option holds a character the Java VM cannot be given: `reason`
        other,             // anything else (out of memory): `reason`
    } what = kind::other;
    std::string reason;     // file, working directory: the system's words (no final period);
                            // vm_option: the words of the host's line, without "error: "
    std::uint32_t code = 0; // file, working directory: the system's code (0: orvo's own reason)
    std::optional<MXML::SyntaxException> syntax;
    std::optional<load_exception> document;
};

struct process_load {
    std::optional<settings_failure> failure; // none: loaded, and the process set up
    std::vector<std::string> env_values;     // the env elements' values as set, in order
};

// Loads the settings at `path` into `record` and sets this process up as the service's:
// enters the working directory (relative to the settings file's folder), expands the class
// path there into its option, and sets the env variables. `observer` (optional) hears
// what the reader takes and passes over, and that the document was read, before the process
// moves. Stops at the first failure: nothing after it is done.
process_load load_process_settings(const std::string& path, settings_record& record,
                                   settings_observer* observer = nullptr);

// The first option of `record` that the Java VM cannot be given on this system, as a failure
// (the service meets it when it creates the VM, its logs open); none when every one passes.
std::optional<settings_failure> unpassable_option(const settings_record& record);
