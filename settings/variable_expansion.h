// The value of an env element as it is set: references to other variables expanded.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One piece of a value as the expansion reads it.
struct value_piece {
    enum class kind {
        text,      // bytes taken as they are
        reference, // "${NAME}": `text` is NAME
        dollar,    // "$$": one "$"
        loose,     // a "$" that begins neither: taken as written
    } what;
    std::string text;
    std::size_t at; // where the piece begins in the value
};

// The pieces of `value`, in order. "${NAME}" needs a name that is not empty and holds no
// "=" (which no variable's name can hold); a "$" followed by anything else ("${}", "${A"
// without its brace, "$A", "${A=x}", a "$" at the end) is a loose one, kept as it is, so
// that a value that merely holds a dollar sign needs no escaping.
std::vector<value_piece> value_pieces(const std::string& value);

// `value` with each "${NAME}" replaced by lookup(NAME) (empty for a variable that is not
// set) and each "$$" by one "$"; everything else is kept.
std::string expand_variables(const std::string& value,
                             const std::function<std::string(const std::string&)>& lookup);
