// The silent traps of a settings file: what the service takes without a word but that will
// not do what its author meant (an attribute it does not know, white space kept in an
// option, a relative path, a class path folder without .jar files ...). orvo-check shows
// them; the service's own reader does not look for them and is not slowed by them.
//
// Each check reads the file again with a parser of its own, after load_settings() has read
// it. Paths are looked at as the service would see them: relative ones against the
// working directory that a "process" element sets, else against this process's current
// folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct settings_warning {
    std::uint32_t line = 0;   // of the start tag the warning is about, counted from 1
    std::uint32_t column = 0; // counted from 0, as the parser counts
    std::string kind;         // a stable name, such as "unknown_attribute"
    std::string message;      // what is wrong and what to do, on one line
};

// The warnings of a settings file that loaded, in the order of their positions. A warning
// about an attribute or an element's text is at its element's start tag; one about
// something the file leaves out is at the root element's start tag (at the last element
// that would have given it, when there is one).
std::vector<settings_warning> settings_warnings(const std::string& path);

// The warnings found before a load that failed at `line`:`column` (the error's position;
// line 0 for an error without one, which is at the root element): those of the elements
// before that point, and none about the document as a whole.
std::vector<settings_warning> settings_warnings_before(const std::string& path, std::uint32_t line,
                                                       std::uint32_t column);

// "PATH:LINE:COLUMN: warning: MESSAGE", without a line end.
std::string warning_line(const std::string& path, const settings_warning& warning);
