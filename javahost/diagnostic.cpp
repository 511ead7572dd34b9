#include "javahost/diagnostic.h"

#include "platform/standard_error.h"

namespace {

// Writes the whole content of `line` to standard error, in one write.
void write_diagnostic(const std::ostringstream& line) {
    const std::string bytes = line.str();
    platform::write_standard_error(bytes.data(), bytes.size());
}

void write_message(const char* message) {
    std::ostringstream line;
    line << "error: " << message << "\r\n";
    write_diagnostic(line);
}

// "error: KIND \"NAME\" not found." and CR LF, the configured name as it is.
void write_not_found(const char* kind, const std::string& name) {
    std::ostringstream line;
    line << "error: " << kind << " \"" << name << "\" "
         << "not found."
         << "\r\n";
    write_diagnostic(line);
}

} // namespace

void report_no_library() {
    write_message("couldn't load jvm.dll.");
}

void report_no_entry_point() {
    write_message("couldn't get function pointer.");
}

void report_vm_not_created() {
    write_message("couldn't create JavaVM.");
}

void report_class_not_found(const std::string& class_name) {
    write_not_found("class", class_name);
}

void report_class_threw(const std::string& class_name, const std::string& exception_class) {
    std::ostringstream line;
    line << "error: loading class \"" << class_name << "\" threw " << exception_class << "."
         << "\r\n";
    write_diagnostic(line);
}

void report_method_not_found(const std::string& method) {
    write_not_found("method", method);
}

void report_not_attached() {
    write_message("couldn't attach thread to JavaVM.");
}

void report_vm_exited(int status) {
    std::ostringstream line;
    line << "error: the Java VM exited with status " << status << "."
         << "\r\n";
    write_diagnostic(line);
}

void report_start_threw(const std::string& method, const std::string& class_name,
                        const std::string& exception_class) {
    std::ostringstream line;
    line << "error: the start method \"" << method << "\" of \"" << class_name << "\" threw "
         << exception_class << "."
         << "\r\n";
    write_diagnostic(line);
}

void report_vm_not_created_quietly() {
    static const char line[] = "error: couldn't create JavaVM.\r\n";
    platform::write_standard_error(line, sizeof line - 1);
}

void report_vm_aborted() {
    static const char line[] = "error: the Java VM aborted.\r\n";
    platform::write_standard_error(line, sizeof line - 1);
}

void report_no_parameters(const std::string& method) {
    std::ostringstream line;
    line << "error: couldn't create parameters for method \"" << method << "\"."
         << "\r\n";
    write_diagnostic(line);
}

void report_unpassable_option(const std::string& problem) {
    std::ostringstream line;
    line << "error: " << problem << "\r\n";
    write_diagnostic(line);
}
