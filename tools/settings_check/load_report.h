// How orvo-check and orvo-service say why a settings file cannot be used: one line on
// standard error, or one JSON object.
#pragma once

#include <ostream>
#include <string>

#include "process/load_settings.h"
#include "settings/exceptions.h"
#include "settings/settings.h"

// The line for `failure` of the settings at `path`, as the functions below give it for
// each kind: a file that cannot be read says so with the system's reason,
// "PATH: error: couldn't load settings file "PATH": REASON.".
void print_load_failure(std::ostream& out, const std::string& path, const settings_failure& failure,
                        const settings_record& record);
// The same as one JSON object, {"error": KIND, "message": ...} with the fields of each kind.
std::string load_failure_json(const std::string& path, const settings_failure& failure,
                              const settings_record& record);

// "PATH:LINE:COLUMN: error: MESSAGE", with the parser's own message.
void print_syntax_error(std::ostream& out, const std::string& path,
                        const MXML::SyntaxException& error);
// "PATH: error: MESSAGE", or "PATH:LINE:COLUMN: error: MESSAGE" when the error names the
// element it is at.
void print_load_error(std::ostream& out, const std::string& path, const load_exception& error);

// The same two as one JSON object each; a load error has "line" and "column" only when it
// names an element.
std::string syntax_error_json(const MXML::SyntaxException& error);
std::string load_error_json(const load_exception& error);
