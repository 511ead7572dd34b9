// How the service ends: once, whichever way it goes.
//
// The ordinary way is cleanup_service's stopped report after the stop path or a failed
// start. Other ways end the process at once from wherever they are noticed: the Java VM
// ends the process itself (System.exit, Runtime.halt, an exit while it is created), a time
// limit runs out. Only one of them reports stopped, and only that one says why in its
// line: each claims the end before it writes anything. The process's exit status then
// tells the same end.
#pragma once

#include <cstdint>
#include <functional>

// Hands the Java host what to do when the Java VM ends the process itself.
void install_vm_end_handlers();

// For cleanup_service: claims the one stopped report, with these codes, for the ordinary
// end. False when a sudden end has claimed it: the process is then about to end and the
// caller must not go on.
bool claim_ordinary_end(std::uint32_t exit_code, std::uint32_t specific);

// Claims the end; then writes the end's line with `say`, reports stopped with these codes
// and ends the process with the status that carries them. When another end was claimed
// first, says nothing and waits for the process to end. Takes no lock that the stop path
// holds.
[[noreturn]] void end_service_now(std::uint32_t exit_code, std::uint32_t specific,
                                  const std::function<void()>& say);

// A console run's insist function: a second stop request ends the process at once, with a
// line that says so and exit_console_interrupted.
void end_on_insistence();

// Waits for ever: a thread that lost the end to another one, which ends the process.
[[noreturn]] void wait_for_process_end();

// The exit status of the process once the dispatcher has returned.
std::uint32_t process_status_at_end();
