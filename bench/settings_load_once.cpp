// Loads one settings file once and exits, so that the peak memory of a load can be read
// from outside the process (/usr/bin/time -v, or getrusage by a parent).
//
//   orvo-settings-load-once settings|expat FILE
//
// "settings" runs load_settings(); "expat" runs the bare parse it is compared with.
// Exit status 0 when the file loads, 1 when it does not, 2 for a usage error.
#include <cstring>
#include <iostream>

#include "bench/bare_parse.h"
#include "process/load_settings.h"
#include "settings/exceptions.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: orvo-settings-load-once settings|expat FILE\n";
        return 2;
    }
    if (std::strcmp(argv[1], "expat") == 0) {
        return bare_expat_parse(argv[2]) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "settings") != 0) {
        std::cerr << "usage: orvo-settings-load-once settings|expat FILE\n";
        return 2;
    }
    try {
        settings_record record;
        load_settings(argv[2], record);
        std::cout << record.options.size() << " options\n";
    } catch (const MXML::SyntaxException& error) {
        std::cerr << argv[2] << ':' << error.line << ':' << error.column << ": not well-formed\n";
        return 1;
    } catch (const load_exception& error) {
        std::cerr << argv[2] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
