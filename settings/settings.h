// The settings record: everything the service host takes from its settings file.
#pragma once

#include <cstdio> // first, so that its stdout/stderr macros exist before they are set aside

#include <cstdint>
#include <list>
#include <optional>
#include <string>

// The record's first two fields carry the names of the settings file's attributes
// "stdout" and "stderr". Some C runtimes (MinGW's, Microsoft's) define those two names
// as macros, which would rewrite the member names wherever <cstdio> is in scope, so
// they are set aside while the record is declared. Code reaches the two fields through
// stdout_log() and stderr_log() below, which work whatever the C runtime does.
// One env element: a variable that the service sets in its own environment before the
// Java VM is created.
struct env_variable {
    std::string name;  // never empty, never holds "="
    std::string value; // as written: ${NAME} and $$ are expanded when it is set; empty
                       // removes the variable
};

#pragma push_macro("stdout")
#pragma push_macro("stderr")
#undef stdout
#undef stderr

struct settings_record {
    std::string stdout;                         // log file receiving standard output
    std::string stderr;                         // log file receiving standard error
    std::string dll_path;                       // the Java VM library to load
    std::string class_path;                     // class path items, ";"-separated
    std::list<std::string> options;             // Java VM options, in order
    std::string class_name;                     // server class, "/"-separated
    std::string start_method;                   // static start method's name
    std::string stop_method;                    // static stop method's name
    std::list<std::string> start_method_params; // start method's arguments, in order
    // Milliseconds from the start request to running; empty: no limit.
    std::optional<std::uint32_t> start_timeout;
    // Milliseconds from the stop request to stopped; empty: no limit.
    std::optional<std::uint32_t> stop_timeout;
    // The folder the service works in, as written (relative to the settings file's folder
    // when relative); empty: the folder the process was started in.
    std::string working_directory;
    // The env elements of every process element, in document order.
    std::list<env_variable> env;
    // Log rotation, from "log": the size in bytes at which a log is rotated (empty: none),
    // whether each log is also rotated at local midnight, and how many rotated files of
    // each log are kept (empty: every one).
    std::optional<std::uint64_t> max_size;
    bool daily = false;
    std::optional<std::uint32_t> max_files;
};

inline std::string& stdout_log(settings_record& record) {
    return record.stdout;
}
inline const std::string& stdout_log(const settings_record& record) {
    return record.stdout;
}
inline std::string& stderr_log(settings_record& record) {
    return record.stderr;
}
inline const std::string& stderr_log(const settings_record& record) {
    return record.stderr;
}

#pragma pop_macro("stderr")
#pragma pop_macro("stdout")

// A log path of "-" names no file: that stream stays where the process's own goes (the
// console of a run by hand, the journal under systemd; nowhere under the Windows service
// control manager), and nothing reopens or rotates it.
inline bool leaves_stream_alone(const std::string& log_path) {
    return log_path == "-";
}

// The one process-wide record. It starts empty and is filled by load_settings().
extern settings_record settings;
