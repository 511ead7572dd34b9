// The value of an env element as it is set: references to other variables expanded.
#pragma once

#include <functional>
#include <string>

// Whether `name` can name a variable in "${NAME}": not empty, and without "=", which ends a
// name in the environment (looked up, "A=x" would find a variable A whose value begins
// with "x=").
bool is_variable_name(const std::string& name);

// `value` with each "${NAME}" replaced by lookup(NAME) (empty for a variable that is not
// set) and each "$$" by one "$". A "$" followed by anything else ("${}", "${A=x}", "${A"
// without its brace, "$A", a "$" at the end) is kept as it is, so that a value that merely
// holds a dollar sign needs no escaping.
std::string expand_variables(const std::string& value,
                             const std::function<std::string(const std::string&)>& lookup);
