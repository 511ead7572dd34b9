// The warnings as the reader's listener. What the reader took or passed over, and which end
// tag ended which state, comes from the reader itself; the listener keeps only what the
// checks need: which elements are open (to say of a passed-over element whether what it
// holds mattered) and the elements taken, for the checks of the whole document.
#include "tools/settings_check/settings_warnings.h"

#include <algorithm>
#include <sstream>

#include "settings/read_settings.h"
#include "tools/settings_check/name_suggestions.h"
#include "tools/settings_check/settings_facts.h"

namespace {

bool before(text_position a, text_position b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

text_position position(const xml_position& at) {
    return {at.line, at.column};
}

// Namespace declarations and the xml: attributes belong to XML itself, not to the settings.
bool is_xml_attribute(const std::string& name) {
    return name.compare(0, 5, "xmlns") == 0 || name.compare(0, 4, "xml:") == 0;
}

bool is_blank(const char* data, int length) {
    return std::all_of(data, data + length,
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// "a", "a" and "b", "a", "b" and "c".
std::string name_list(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            list += i + 1 == names.size() ? " and " : ", ";
        }
        list += '"' + names[i] + '"';
    }
    return list;
}

std::vector<std::string> element_names() {
    std::vector<std::string> names;
    for (const element_rule& rule : element_rules()) {
        names.emplace_back(rule.name);
    }
    return names;
}

std::vector<std::string> attribute_names(const std::string& element) {
    std::vector<std::string> names;
    for (const attribute_rule& rule : attribute_rules()) {
        if (element == rule.element) {
            names.emplace_back(rule.name);
        }
    }
    return names;
}

// What an element read in `rule`'s place may hold, for a name orvo does not know there.
std::string content_hint(const element_rule& rule) {
    const std::vector<std::string> names = names_taken_in(rule);
    if (collects_text(rule.opens)) {
        return "only text";
    }
    if (names.empty()) {
        return "no elements";
    }
    return (names.size() == 1 ? "only " : "") + name_list(names);
}

// Where the reader stands in `state`, for a message: the element that opened it.
std::string place_of(reader_state state) {
    const element_rule* rule = element_opening(state);
    return rule != nullptr ? '"' + std::string(rule->name) + '"' : "the root";
}

// One element of the document as it stands open.
struct open_element {
    std::string name;
    const element_rule* taken; // its rule when the reader takes it, else nullptr
    reader_state in;           // the reader's state at its start tag
    xml_position at;
    // Where the facts keep it, for its attributes: an entry by its index (a list's entries
    // move as it grows), else the element itself.
    element_occurrence* taken_as = nullptr;
    std::size_t entry_index = 0;
    bool effects = false;               // something inside it was taken, collected or ended a state
    bool text_reported = false;         // its ignored text has been warned about
    std::vector<settings_warning> held; // warnings inside it, kept until its end says whether
                                        // they stand
};

} // namespace

struct settings_checker::pass {
    explicit pass(std::string path) { facts.path = std::move(path); }

    void start(const std::string& name, const element_rule* taken, reader_state in,
               const xml_position& at);
    void attribute(const element_rule& element, const std::string& name, const std::string& value,
                   const attribute_rule* taken);
    void end(const std::string& name, const element_rule* closed, const xml_position& at);
    void text(const char* data, int length, bool collected);

    std::vector<settings_warning>& here() { return open.empty() ? warnings : open.back().held; }
    void warn(text_position at, const char* kind, std::string message, ignored_part ignores = {});
    void mark_effects();
    element_occurrence& occurrence_of(open_element& element);
    void end_passed_over(open_element& element, const element_rule* closed, const xml_position& at);
    void report_ended_state(const open_element& element, const element_rule& closed);
    std::string passed_over_message(const open_element& element, bool whole) const;

    settings_facts facts;
    std::vector<settings_warning> warnings;
    std::vector<open_element> open;
    element_occurrence entry;   // the option or start method parameter being read
    element_occurrence scratch; // the root, whose attributes matter to no check
};

void settings_checker::pass::warn(text_position at, const char* kind, std::string message,
                                  ignored_part ignores) {
    add_warning(here(), at, kind, std::move(message));
    here().back().ignores = std::move(ignores);
}

void settings_checker::pass::mark_effects() {
    for (open_element& element : open) {
        element.effects = true;
    }
}

void settings_checker::pass::start(const std::string& name, const element_rule* taken,
                                   reader_state in, const xml_position& at) {
    if (open.empty()) {
        facts.root = position(at);
    }
    element_occurrence* kept = &scratch;
    if (taken != nullptr) {
        mark_effects();
        // An element that opens no state of its own ("env") takes the one inside it too.
        if (!open.empty() && open.back().taken != nullptr &&
            open.back().taken->opens == open.back().taken->read_in) {
            warn(position(at), "misplaced_element",
                 "\"" + name + "\" inside \"" + open.back().name +
                     "\" is read as if it stood directly in " + place_of(in) + ": write it there");
        }
        scratch = element_occurrence();
        scratch.at = position(at);
        if (taken->take_text != nullptr) {
            entry = std::move(scratch);
            kept = &entry;
        } else if (adds_up(*taken)) {
            facts.entries[taken->name].push_back(std::move(scratch));
            kept = nullptr;
        } else if (taken->read_in != state_root) {
            ++facts.counts[taken->name];
            kept = &(facts.last[taken->name] = std::move(scratch));
        }
    }
    const std::size_t index = kept == nullptr ? facts.entries[taken->name].size() - 1 : 0;
    open.push_back({name, taken, in, at, kept, index, false, false, {}});
}

element_occurrence& settings_checker::pass::occurrence_of(open_element& element) {
    return element.taken_as != nullptr
               ? *element.taken_as
               : facts.entries[element.taken->name][element.entry_index];
}

void settings_checker::pass::attribute(const element_rule& element, const std::string& name,
                                       const std::string& value, const attribute_rule* taken) {
    occurrence_of(open.back()).attributes.emplace_back(name, value);
    if (taken != nullptr || is_xml_attribute(name)) {
        return;
    }
    const std::vector<std::string> known = attribute_names(element.name);
    std::string message =
        "unknown attribute \"" + name + "\" of \"" + element.name + "\" is ignored";
    const std::string near = nearest_name(name, known);
    const char* owner = element_with_attribute(element.name, name);
    if (!near.empty()) {
        message += "; did you mean \"" + near + "\"?";
    } else if (owner != nullptr) {
        message += ": \"" + name + "\" is an attribute of \"" + owner + "\"";
    } else if (known.empty()) {
        message += ": \"" + std::string(element.name) + "\" has no attributes";
    } else {
        message += "; \"" + std::string(element.name) + "\" has " + name_list(known);
    }
    const xml_position& at = open.back().at;
    ignored_part ignores;
    ignores.what = ignored_part::kind::attribute;
    ignores.start_tag = at.byte_index;
    ignores.start_tag_size = at.byte_count;
    ignores.attribute = name;
    warn(position(at), "unknown_attribute", std::move(message), std::move(ignores));
}

// A passed-over element whose end tag ended the state of an element of its name around it:
// what follows it is read outside that element, so it is not ignored.
void settings_checker::pass::report_ended_state(const open_element& element,
                                                const element_rule& closed) {
    const std::string name = closed.name;
    std::string message;
    if (closed.take_text != nullptr) {
        message = "\"" + name + "\" inside \"" + name +
                  "\" is not read, but its end tag ends the outer one: the value is the text "
                  "up to that tag, and the text after it is lost; write the value as text only";
    } else if (closed.read_in == state_root) {
        message = "\"" + name + "\" inside the root \"" + name +
                  "\" is not read, but its end tag ends the settings: nothing but the root's "
                  "end tag may follow it; write what it holds directly in the root";
    } else {
        message = "\"" + name + "\" inside \"" + name +
                  "\" is not read, but its end tag ends the outer one: what follows it up to "
                  "\"</" + name + ">\" is read as if it stood in " + place_of(closed.read_in) +
                  "; remove the inner \"" + name + "\"";
    }
    warn(position(element.at), "misplaced_element", std::move(message));
}

std::string settings_checker::pass::passed_over_message(const open_element& element,
                                                        bool whole) const {
    const element_rule* known = find_element(element.name);
    const element_rule* place = element_opening(element.in);
    if (collects_text(element.in)) {
        return "the element \"" + element.name + "\" inside \"" + place->name +
               "\" is ignored, but its text becomes part of the value: write the value as "
               "text only";
    }
    std::string why; // what the element is, and what to do
    if (known != nullptr && known->read_in == state_root) {
        why = "it can only be the root element";
    } else if (known != nullptr) {
        why = "orvo reads it only inside " + place_of(known->read_in);
    } else {
        const std::string near = nearest_name(element.name, element_names());
        why = !near.empty() ? "did you mean \"" + near + "\"?"
                            : place_of(element.in) + " holds " + content_hint(*place);
    }
    if (!whole) {
        const bool hint = known != nullptr || why.back() == '?';
        return "the tags of " + std::string(known == nullptr ? "unknown element \"" : "\"") +
               element.name + "\" are ignored" + (hint ? " (" + why + ")" : std::string()) +
               ", but what it holds is read as if it stood directly in " + place_of(element.in);
    }
    if (known != nullptr) {
        return "\"" + element.name + "\" is ignored here: " + why;
    }
    return "unknown element \"" + element.name + "\" is ignored; " + why;
}

void settings_checker::pass::end_passed_over(open_element& element, const element_rule* closed,
                                             const xml_position& at) {
    if (closed != nullptr) {
        mark_effects();
        report_ended_state(element, *closed);
        return;
    }
    const bool whole = !element.effects;
    if (whole) {
        element.held.clear(); // one warning says that all of it is ignored
    }
    ignored_part ignores;
    ignores.what = whole ? ignored_part::kind::element : ignored_part::kind::element_tags;
    ignores.start_tag = element.at.byte_index;
    ignores.start_tag_size = element.at.byte_count;
    ignores.end_tag = at.byte_count == 0 ? element.at.byte_index : at.byte_index;
    ignores.end_tag_size = at.byte_count;
    // Inside a value, any element is out of place, known or not.
    const bool unknown = find_element(element.name) == nullptr && !collects_text(element.in);
    warn(position(element.at), unknown ? "unknown_element" : "misplaced_element",
         passed_over_message(element, whole), std::move(ignores));
}

void settings_checker::pass::end(const std::string&, const element_rule* closed,
                                 const xml_position& at) {
    if (open.empty()) {
        return;
    }
    open_element element = std::move(open.back());
    open.pop_back();
    if (element.taken == nullptr) {
        end_passed_over(element, closed, at);
    } else if (element.taken->begin != nullptr) {
        check_entry(element.taken->name, occurrence_of(element), here());
    }
    if (closed != nullptr && closed->take_text != nullptr) {
        check_entry(closed->name, entry, here());
        facts.entries[closed->name].push_back(std::move(entry));
        entry = element_occurrence();
    }
    std::vector<settings_warning>& outer = here();
    outer.insert(outer.end(), std::make_move_iterator(element.held.begin()),
                 std::make_move_iterator(element.held.end()));
}

void settings_checker::pass::text(const char* data, int length, bool collected) {
    if (collected) {
        entry.text.append(data, static_cast<std::size_t>(length));
        mark_effects();
        return;
    }
    if (open.empty() || open.back().taken == nullptr || open.back().text_reported ||
        is_blank(data, length)) {
        return;
    }
    // Text left in an option after a nested option ended it is one trap with that nesting,
    // which has its own warning.
    const element_rule& rule = *open.back().taken;
    if (rule.text_advice == nullptr) {
        return;
    }
    open.back().text_reported = true;
    warn(position(open.back().at), "ignored_text",
         "the text inside \"" + std::string(rule.name) + "\" is ignored: " + rule.text_advice);
}

settings_checker::settings_checker(std::string path) : pass_(new pass(std::move(path))) {}

settings_checker::~settings_checker() = default;

void settings_checker::element_started(const std::string& name, const element_rule* taken,
                                       reader_state in, const xml_position& at) {
    pass_->start(name, taken, in, at);
}

void settings_checker::attribute(const element_rule& element, const std::string& name,
                                 const std::string& value, const attribute_rule* taken) {
    pass_->attribute(element, name, value, taken);
}

void settings_checker::element_ended(const std::string& name, const element_rule* closed,
                                     const xml_position& at) {
    pass_->end(name, closed, at);
}

void settings_checker::text(const char* data, int length, bool collected) {
    pass_->text(data, length, collected);
}

void settings_checker::document_read() {
    check_values(pass_->facts, pass_->warnings);
    check_paths(pass_->facts, pass_->warnings);
}

std::vector<settings_warning> settings_checker::warnings() const {
    std::vector<settings_warning> all = pass_->warnings;
    // After a failed read, the elements still open: what is known of them so far.
    for (const open_element& element : pass_->open) {
        all.insert(all.end(), element.held.begin(), element.held.end());
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const settings_warning& a, const settings_warning& b) {
                         return before({a.line, a.column}, {b.line, b.column});
                     });
    return all;
}

std::vector<settings_warning> settings_warnings(const std::string& path) {
    settings_checker checker(path);
    settings_record record;
    try {
        read_settings(path, record, &checker);
    } catch (const std::domain_error&) {
        // A file that does not load: the warnings before its error.
    }
    return checker.warnings();
}

std::string warning_line(const std::string& path, const settings_warning& warning) {
    std::ostringstream line;
    line << path << ':' << warning.line << ':' << warning.column
         << ": warning: " << warning.message;
    return line.str();
}
