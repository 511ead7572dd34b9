// The known name that an unknown one in a settings file most likely meant, for orvo-check's
// warnings.
#pragma once

#include <string>
#include <vector>

// The element, other than `element`, that has an attribute `name`; nullptr when none has.
const char* element_with_attribute(const std::string& element, const std::string& name);

// The candidate that `name` most likely meant: one equal to it but for letter case, else the
// nearest within two edits (an insertion, deletion, change or swap of two neighbours, letter
// case aside; for short names less, so that "foo" does not become "log"), else one that
// `name` begins with as a word ("class_name", as orvo-check shows the attribute "class"),
// else one that other tools' words suggest ("classname"). Empty when none is near.
std::string nearest_name(const std::string& name, const std::vector<std::string>& candidates);
