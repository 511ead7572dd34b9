// How orvo-check shows a loaded settings record and what its dry run of the Java start found.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "javahost/start_check.h"
#include "settings/settings.h"
#include "settings/visible_text.h" // visible(): an option that starts with a line break shows it

// One field a line (after stderr, the log rotation's three, in bytes and files, when the
// settings name any: "(none)" for one they leave out), then every option and parameter on
// a line of its own, then the two time limits ("(none)" when there is none), the working
// directory as written ("(none)" when there is none) and every env element on a line of
// its own, "NAME=VALUE" with the value as it was set (`env_values`, in the order of
// record.env; where it is not given, the value as written), followed by the value as
// written where the two differ.
void print_record(std::ostream& out, const settings_record& record,
                  const std::vector<std::string>& env_values = {});
// What the dry run of the Java start found, one line for each step that succeeded: the VM,
// the class, the start method the service would call (and with how many parameters),
// the stop method. Failures are not repeated here: the service's line has gone to
// standard error.
void print_start_check(std::ostream& out, const settings_record& record,
                       const start_check_result& result);

// The same two as one JSON object each. Bytes that are not UTF-8 are replaced. A time
// limit is a number, or null when there is none, as are max_size and max_files (present,
// with daily, only when the settings name any rotation) and the working directory; each env
// element is {"name", "value" (as written), "expanded" (as set)}.
std::string record_json(const settings_record& record,
                        const std::vector<std::string>& env_values = {});
// The record's JSON document with one more field, "jvm": the outcome of the dry run and,
// when the library could not be loaded, why.
std::string record_with_jvm_json(const settings_record& record, const start_check_result& result,
                                 const std::vector<std::string>& env_values = {});
