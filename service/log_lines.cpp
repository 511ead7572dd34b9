#include "service/log_lines.h"

#include <sstream>

#include "platform/standard_error.h"

namespace {

void write_line(const std::string& line) {
    platform::write_standard_error(line.data(), line.size());
}

void write_line(const std::ostringstream& line) {
    write_line(line.str());
}

} // namespace

void report_not_reopened(const std::string& path, const std::string& reason) {
    write_line(not_reopened_line(path, reason));
}

std::string not_reopened_line(const std::string& path, const std::string& reason) {
    return "error: couldn't reopen log file \"" + path + "\": " + reason +
           "; the old one stays in use.\r\n";
}

void report_deadline(const char* what, std::uint32_t limit) {
    std::ostringstream line;
    line << "error: " << what << " did not complete within " << limit << " ms.\r\n";
    write_line(line);
}

void report_not_watched(const char* what, const std::string& reason) {
    std::ostringstream line;
    line << "error: couldn't watch the " << what << "'s time limit: " << reason
         << "; it goes on without one.\r\n";
    write_line(line);
}

void report_vm_exited_before_running() {
    write_line("error: the Java VM exited with status 0 before the service was running.\r\n");
}

void report_stop_asked(std::uint32_t exit_code, bool before_running) {
    std::ostringstream line;
    line << "error: the Java program asked for a stop with exit code " << exit_code
         << (before_running ? " before the service was running" : "") << ".\r\n";
    write_line(line);
}
