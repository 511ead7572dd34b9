// What the Java program asks of the service through orvo.Service (javahost/service_class.h):
// progress during the start and the stop, words beside the service's state, and a stop with
// an exit code of its own.
//
// A stop request is taken once. While the start method runs, it makes the start fail once
// the method has returned; once the method has returned, it waits for running to be
// reported and then stops the service as a stop request of the service manager would, on
// a thread of orvo's own. Once a stop is under way, or the start has failed, none is taken.
#pragma once

#include <cstdint>
#include <optional>

// Hands the Java host what to do with the program's requests; in main, before the
// dispatcher starts.
void install_program_requests();

// The codes the service ends with.
struct end_codes {
    std::uint32_t exit_code;
    std::uint32_t specific; // the service-specific exit code, with exit_java_status
};

// On the service thread, once the start method has returned (or the start failed without
// it): when the program asked for a stop while the start ran, the codes the start fails
// with. Otherwise nothing, and from now on a stop request waits for running to be reported
// (`start_succeeded`) or is refused.
std::optional<end_codes> stop_asked_in_start(bool start_succeeded);

// On the service thread, once running has been reported: a stop that the program asked for
// since the start method returned begins now, on this thread.
void begin_stop_asked_before_running();

// At the service's ordinary end: the codes of the stop that the program asked for; nothing
// when it asked for none.
std::optional<end_codes> program_stop_codes();
