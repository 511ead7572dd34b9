// The start's work: the settings, the logs, the Java VM and the start method.
#pragma once

#include <cstdint>

// How a start ended.
enum class start_state {
    running,             // the Java VM is up and the start method returned
    failed,              // nothing is up: the service stops at once
    failed_with_java_vm, // the Java VM is up but the start failed: it must be stopped
};

struct start_outcome {
    start_state state;
    std::uint32_t exit_code;    // what the service stops with after a failure; 0 when running
    std::uint32_t specific = 0; // the service-specific exit code, with exit_java_status
};

// Brings the Java side up: reads the settings file named by the first argument, makes
// the two log files standard output and error, creates the Java VM and calls the start
// method. Every failure has been said (a line on the standard error the process was
// started with, or in the stderr log) by the time it returns.
start_outcome start_service_work();
