// The program's command line, in UTF-8 as all of orvo's text.
#pragma once

namespace platform {

// The arguments of `main`, in UTF-8. On Windows the narrow arguments that main receives are
// in the ANSI code page, which holds few of the characters a path may have and puts "?" for
// the others: they are read again from the wide command line. Elsewhere they are main's own.
// Returns `argc` strings followed by a null, kept until the process ends, and sets `argc` to
// their number.
char** utf8_arguments(int& argc, char** argv);

// For the operator's programs: makes what they write to a console show as UTF-8 (on
// Windows, the console's output code page for the program's run, put back when the program
// ends). Output to a file or pipe gets the bytes as they are, as everywhere else.
void show_utf8_on_console();

} // namespace platform
