// How orvo-check shows the warnings of a settings file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/settings_check/settings_warnings.h"

// One "PATH:LINE:COLUMN: warning: MESSAGE" line for each warning.
void print_warnings(std::ostream& out, const std::string& path,
                    const std::vector<settings_warning>& warnings);

// The JSON document `document` (an object, as record_json and the error reports give it)
// with one more field, "warnings": a list of {"line", "column", "kind", "message"}, empty
// when there are none.
std::string with_warnings_json(const std::string& document,
                               const std::vector<settings_warning>& warnings);
