// What orvo's command line asks for, and what orvo says about it.
#pragma once

enum class run_mode {
    service, // SETTINGS_FILE [ARGS...]: run by a service manager (or fail to be)
    console, // --console SETTINGS_FILE [ARGS...]: the same run, without a service manager
    help,    // --help
    version, // --version
};

// Only an exact first argument chooses another mode than service: a service's command line
// stays what it always was.
run_mode mode_of(int argc, char** argv);

// The usage text, on standard output.
void print_usage();

// "orvo VERSION", on standard output.
void print_version();

// After "Error: StartServiceCtrlDispatcher": one line on standard error that says how to
// run orvo as a service, and how to run it by hand. It begins on a line of its own where
// standard output and error are one stream (a terminal), since that text has no line end.
void print_start_hint();
