// What the warnings' own pass over a settings file collects for the checks that need the
// whole document: the elements the service's reader uses, with their attributes as
// written and where each one starts. Internal to the settings warnings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/settings_check/settings_warnings.h"

struct text_position {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

// One element that the reader takes, as written.
struct element_occurrence {
    text_position at; // its start tag
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text; // the character data of an option or a start method parameter

    bool has(const char* name) const;
    // The value of `name`, or "" when the element does not carry it (as the reader reads it).
    std::string attribute(const char* name) const;
};

struct settings_facts {
    std::string path;   // the settings file, as given
    text_position root; // the root element's start tag
    // The last "log", "jvm", "server" and "process" the reader takes: each replaces every
    // attribute of the ones before.
    std::map<std::string, element_occurrence> last;
    std::map<std::string, std::size_t> counts; // how many of each of these the reader took
    // The elements whose entries add up, in document order, by name: "option",
    // "start_method_param", "env".
    std::map<std::string, std::vector<element_occurrence>> entries;

    // The last occurrence of `name`, or nullptr when the file has none.
    const element_occurrence* last_of(const char* name) const;
    const std::vector<element_occurrence>& entries_of(const char* name) const;
    std::size_t count_of(const char* name) const;
    // Where a warning about the field `attribute` of the element `name` points: the last
    // such element when it carries the attribute, else (the field is missing) the root.
    text_position field_position(const char* name, const char* attribute) const;
};

void add_warning(std::vector<settings_warning>& warnings, text_position at, const char* kind,
                 std::string message);

// `text` in double quotes, control characters made visible.
std::string shown(const std::string& text);

// How `value` has white space at its ends ("begins with a line break", "begins and ends
// with white space"), or "" when it has none.
std::string white_space_at_ends(const std::string& value);

// The checks of one option, start method parameter or "env", as the pass meets it.
void check_entry(const std::string& element, const element_occurrence& entry,
                 std::vector<settings_warning>& warnings);
// The checks of the whole document, once the pass has read it all.
void check_values(const settings_facts& facts, std::vector<settings_warning>& warnings);
void check_paths(const settings_facts& facts, std::vector<settings_warning>& warnings);
