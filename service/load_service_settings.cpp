#include "service/load_service_settings.h"

#include <exception>
#include <sstream>

#include "javahost/process_settings.h"
#include "platform/control_signals.h"
#include "platform/last_error.h"
#include "service/exit_codes.h"
#include "service/host_errors.h"
#include "settings/exceptions.h"
#include "settings/load_settings.h"
#include "settings/settings.h"

namespace {

// No log is open yet: the line goes where the service manager looks.
void write_settings_error(const std::string& path, const std::string& reason) {
    std::ostringstream line;
    line << "error: couldn't load settings file \"" << path << "\": " << reason
         << "; check it with orvo-check."
         << "\r\n";
    write_host_error(line);
    platform::set_last_error(exit_bad_configuration);
}

// Relative paths of the settings (logs, class path items, the JVM library, options the
// JVM resolves) and of the Java program itself are taken from here on as relative to
// the working directory.
bool set_up_service_process(const std::string& settings_path) {
    try {
        if (set_up_process(settings_path, settings)) {
            return true;
        }
    } catch (const std::exception& error) {
        write_settings_error(settings_path, error.what()); // out of memory
        return false;
    }
    const std::uint32_t error = platform::last_error();
    write_host_failure("change to working directory \"" + settings.working_directory + "\"", error);
    platform::set_last_error(platform::service_exit_code_for(error, exit_bad_directory));
    return false;
}

bool read_service_settings(const std::string& path) {
    try {
        read_settings(path, settings);
        return true;
    } catch (const MXML::SyntaxException& error) {
        std::ostringstream reason;
        reason << "it cannot be read or is not well-formed XML (parser error "
               << static_cast<int>(error.error_code) << " at line " << error.line << ", column "
               << error.column << ")";
        write_settings_error(path, reason.str());
    } catch (const load_exception& error) {
        write_settings_error(path, error.what());
    } catch (const std::exception& error) {
        write_settings_error(path, error.what());
    }
    return false;
}

} // namespace

bool load_service_settings(const std::string& path) {
    if (!read_service_settings(path) || !set_up_service_process(path)) {
        return false;
    }
    // The settings' environment may choose the Java VM's suspend-resume signal
    // (_JAVA_SR_SIGNUM), which the VM reads when it is created, after this.
    platform::keep_vm_signals_away();
    return true;
}

void report_missing_settings_path() {
    std::ostringstream line;
    line << "error: no settings file: the service's command line must name it as its first "
            "argument."
         << "\r\n";
    write_host_error(line);
}
