#include "tools/settings_check/settings_facts.h"

#include <algorithm>

#include "settings/visible_text.h"

namespace {

bool is_white(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// "white space" or "a line break", for the run of white space in [first, last).
std::string white_kind(std::string::const_iterator first, std::string::const_iterator last) {
    for (auto c = first; c != last; ++c) {
        if (*c == '\n' || *c == '\r') {
            return "a line break";
        }
    }
    return "white space";
}

} // namespace

bool element_occurrence::has(const char* name) const {
    for (const auto& attribute : attributes) {
        if (attribute.first == name) {
            return true;
        }
    }
    return false;
}

std::string element_occurrence::attribute(const char* name) const {
    for (const auto& attribute : attributes) {
        if (attribute.first == name) {
            return attribute.second;
        }
    }
    return std::string();
}

const element_occurrence* settings_facts::last_of(const char* name) const {
    const auto found = last.find(name);
    return found == last.end() ? nullptr : &found->second;
}

const std::vector<element_occurrence>& settings_facts::entries_of(const char* name) const {
    static const std::vector<element_occurrence> none;
    const auto found = entries.find(name);
    return found == entries.end() ? none : found->second;
}

std::size_t settings_facts::count_of(const char* name) const {
    const auto found = counts.find(name);
    return found == counts.end() ? 0 : found->second;
}

text_position settings_facts::field_position(const char* name, const char* attribute) const {
    const element_occurrence* element = last_of(name);
    return element != nullptr && element->has(attribute) ? element->at : root;
}

void add_warning(std::vector<settings_warning>& warnings, text_position at, const char* kind,
                 std::string message) {
    warnings.push_back({at.line, at.column, kind, std::move(message), {}});
}

std::string shown(const std::string& text) {
    return '"' + visible(text) + '"';
}

std::string white_space_at_ends(const std::string& value) {
    if (value.empty()) {
        return std::string();
    }
    const bool at_start = is_white(value.front());
    const bool at_end = is_white(value.back());
    const auto first_text = std::find_if_not(value.begin(), value.end(), is_white);
    const auto after_text = std::find_if_not(value.rbegin(), value.rend(), is_white).base();
    if (at_start && at_end && first_text == value.end()) {
        return "is only " + white_kind(value.begin(), value.end());
    }
    if (at_start && at_end) {
        const std::string start = white_kind(value.begin(), first_text);
        const std::string end = white_kind(after_text, value.end());
        return start == end ? "begins and ends with " + start
                            : "begins with " + start + " and ends with " + end;
    }
    if (at_start) {
        return "begins with " + white_kind(value.begin(), first_text);
    }
    if (at_end) {
        return "ends with " + white_kind(after_text, value.end());
    }
    return std::string();
}
