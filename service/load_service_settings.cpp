#include "service/load_service_settings.h"

#include <sstream>

#include "platform/control_signals.h"
#include "platform/last_error.h"
#include "process/load_settings.h"
#include "service/exit_codes.h"
#include "service/host_errors.h"
#include "settings/settings.h"

namespace {

// No log is open yet: the line goes where the service manager looks.
void write_settings_error(const std::string& path, const std::string& reason) {
    std::ostringstream line;
    line << "error: couldn't load settings file \"" << path << "\": " << reason
         << "; check it with orvo-check."
         << "\r\n";
    write_host_error(line);
}

std::string syntax_reason(const MXML::SyntaxException& error) {
    std::ostringstream reason;
    reason << "it cannot be read or is not well-formed XML (parser error "
           << static_cast<int>(error.error_code) << " at line " << error.line << ", column "
           << error.column << ")";
    return reason.str();
}

// Says why the settings cannot be used, and gives the exit code the service stops with.
std::uint32_t report_failure(const std::string& path, const settings_failure& failure) {
    switch (failure.what) {
    case settings_failure::kind::file:
        write_host_failure("load settings file \"" + path + "\"", failure.reason);
        break;
    case settings_failure::kind::syntax:
        write_settings_error(path, syntax_reason(*failure.syntax));
        break;
    case settings_failure::kind::document:
        write_settings_error(path, failure.document->what());
        break;
    case settings_failure::kind::working_directory:
        write_host_failure("change to working directory \"" + settings.working_directory + "\"",
                           failure.reason);
        return platform::service_exit_code_for(failure.code, exit_bad_directory);
    case settings_failure::kind::vm_option: // the load itself never gives it
    case settings_failure::kind::other:
        write_settings_error(path, failure.reason);
        break;
    }
    return exit_bad_configuration;
}

} // namespace

std::uint32_t load_service_settings(const std::string& path) {
    const process_load load = load_process_settings(path, settings);
    if (load.failure) {
        return report_failure(path, *load.failure);
    }
    // The settings' environment may choose the Java VM's suspend-resume signal
    // (_JAVA_SR_SIGNUM), which the VM reads when it is created, after this.
    platform::keep_vm_signals_away();
    return 0;
}

void report_missing_settings_path() {
    std::ostringstream line;
    line << "error: no settings file: the service's command line must name it as its first "
            "argument."
         << "\r\n";
    write_host_error(line);
}
