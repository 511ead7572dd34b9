// How orvo-service speaks. As text (the default): errors and warnings on standard error,
// each with what to do, and what was done on standard output. As JSON (apply and show with
// --json): nothing as it comes; the warnings and the error are gathered for the one JSON
// object that the command prints on standard output at its end.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/service_manager.h"

// From now on, gather rather than print.
void speak_json();
bool speaking_json();

void say_error(const std::string& text);   // "orvo-service: error: TEXT"
void say_warning(const std::string& text); // "orvo-service: warning: TEXT"
// Lines that speak for themselves ("PATH:LINE:COLUMN: warning: ..."; orvo-check's), as
// they are; one warning each.
void say_warning_lines(const std::string& lines);
// The same as an error: lines that say why nothing was done.
void say_error_lines(const std::string& lines);
// A line of what was done, on standard output; nothing in JSON.
void say_done(const std::string& line);

// What JSON mode gathered: every warning, and the errors as one text ("" when none).
const std::vector<std::string>& gathered_warnings();
const std::string& gathered_error();

// Prints `answer` on standard output, as the one JSON object of the command.
void print_json(const nlohmann::ordered_json& answer);

// Prints {"error": ..., "warnings": [...]} (warnings only when there are some) on standard
// output: the JSON answer of a command that did nothing.
void print_json_error();

// True when the manager is open; else says why not, and what to do when the reason is
// missing rights.
bool opened(const platform::service_manager& manager);

// Says that the service `name` cannot be read, or that there is none.
void say_unreadable(const std::string& name, const platform::system_failure& failure);
