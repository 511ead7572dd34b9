// How orvo-check shows a loaded settings record or the reason a load failed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "javahost/start_check.h"
#include "settings/exceptions.h"
#include "settings/settings.h"
#include "settings/visible_text.h" // visible(): an option that starts with a line break shows it

// One field a line (after stderr, the log rotation's three, in bytes and files, when the
// settings name any: "(none)" for one they leave out), then every option and parameter on a line of its own, then the two
// time limits ("(none)" when there is none), the working directory as written ("(none)"
// when there is none) and every env element on a line of its own, "NAME=VALUE" with the
// value as it was set (`env_values`, in the order of record.env; where it is not given,
// the value as written), followed by the value as written where the two differ.
void print_record(std::ostream& out, const settings_record& record,
                  const std::vector<std::string>& env_values = {});
// "PATH:LINE:COLUMN: error: MESSAGE", with the parser's own message.
void print_syntax_error(std::ostream& out, const std::string& path,
                        const MXML::SyntaxException& error);
// "PATH: error: MESSAGE", or "PATH:LINE:COLUMN: error: MESSAGE" when the error names the
// element it is at.
void print_load_error(std::ostream& out, const std::string& path, const load_exception& error);

// What the dry run of the Java start found, one line for each step that succeeded: the VM,
// the class, the start method the service would call (and with how many parameters),
// the stop method. Failures are not repeated here: the service's line has gone to
// standard error.
void print_start_check(std::ostream& out, const settings_record& record,
                       const start_check_result& result);

// The same three as one JSON object each. Bytes that are not UTF-8 are replaced. A time
// limit is a number, or null when there is none, as are max_size and max_files (present,
// with daily, only when the settings name any rotation), as is the working directory; each env
// element is {"name", "value" (as written), "expanded" (as set)}; a load error has "line"
// and "column" only when it names an element.
std::string record_json(const settings_record& record,
                        const std::vector<std::string>& env_values = {});
std::string syntax_error_json(const MXML::SyntaxException& error);
std::string load_error_json(const load_exception& error);

// A working directory that cannot be entered, as the service would fail on it:
// "PATH: error: couldn't change to working directory "DIRECTORY": REASON", or in JSON
// {"error": "working_directory", "message": ...}.
void print_directory_error(std::ostream& out, const std::string& path,
                           const settings_record& record, const std::string& reason);
std::string directory_error_json(const settings_record& record, const std::string& reason);
