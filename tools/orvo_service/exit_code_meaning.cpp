#include "tools/orvo_service/exit_code_meaning.h"

#include "service/exit_codes.h"

namespace {

enum class reason_at { stderr_log, event_log, either };

struct known_code {
    std::uint32_t code;
    const char* meaning;
    reason_at where;
};

// Orvo's own codes, and the system's codes that a start of orvo's leaves most often.
// clang-format off
const known_code known_codes[] = {
    {exit_no_settings_path, "the service's command line names no settings file", reason_at::event_log},
    {exit_bad_configuration, "the settings cannot be used, or the class or start method they name is not there", reason_at::either},
    {exit_start_failed, "the start failed: no Java VM, or no thread or parameters for the start method", reason_at::stderr_log},
    {exit_request_timeout, "the start or the stop took longer than the settings' start_timeout or stop_timeout", reason_at::stderr_log},
    {exit_start_threw, "the start method threw", reason_at::stderr_log},
    {exit_java_status, "the Java program ended the process with System.exit(N), N being the service-specific code", reason_at::stderr_log},
    {2, "a log or the working directory named in the settings is not there", reason_at::event_log},
    {3, "a log's folder or the working directory is not there", reason_at::event_log},
    {5, "the service's account may not write a log, or not enter the working directory", reason_at::event_log},
    {126, "the Java VM library (dll_path), or a DLL it needs, cannot be found", reason_at::stderr_log},
    {127, "the Java VM library has no JNI_CreateJavaVM", reason_at::stderr_log},
    {193, "the Java VM library is not a 64-bit x86 DLL", reason_at::stderr_log},
    {267, "the working directory is not a folder", reason_at::event_log},
};
// clang-format on

const char event_log[] = "the Application event log (source orvo)";

} // namespace

exit_code_meaning meaning_of_exit_code(std::uint32_t code, const std::string& stderr_log) {
    if (code == 0) {
        return {};
    }
    const std::string log = stderr_log.empty() ? "the stderr log" : "the stderr log " + stderr_log;
    for (const known_code& known : known_codes) {
        if (known.code == code) {
            switch (known.where) {
            case reason_at::stderr_log:
                return {known.meaning, log};
            case reason_at::event_log:
                return {known.meaning, event_log};
            default:
                return {known.meaning,
                        log + " (the class or method), or " + event_log + " (the settings file)"};
            }
        }
    }
    return {"the system's code of the step that failed", log + ", or " + event_log};
}
