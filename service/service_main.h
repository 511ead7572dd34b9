// The service's main function and its end.
#pragma once

#include <cstdint>

// Run by the dispatcher on a thread of its own: registers the control handler, reports
// the start, brings the Java side up, reports running and waits for the stop path. Its
// arguments (the start parameters of the start request) are ignored.
void service_main(std::uint32_t argc, char** argv);

// Ends the service: closes stop_event, frees the argument copies and reports stopped with
// `exit_code` (and the service-specific `specific`) when a status handle exists.
void cleanup_service(std::uint32_t exit_code, std::uint32_t specific = 0);
