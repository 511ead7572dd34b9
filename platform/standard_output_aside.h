// Keeping a program's own standard output for itself while a library it calls (a Java VM
// being created) writes to the process's standard output.
#pragma once

#include <string>

namespace platform {

// Points the process's standard output at its standard error, where everything written to
// standard output from now on goes, and keeps the standard output it had for
// write_set_aside_output. Call it once, before any other thread writes to standard output.
void set_standard_output_aside();

// Writes all of `text` to the standard output that set_standard_output_aside kept (or to
// standard output when it was not called). False when a write fails.
bool write_set_aside_output(const std::string& text);

} // namespace platform
