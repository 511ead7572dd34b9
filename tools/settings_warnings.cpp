// The warnings' own pass over a settings file. It follows the service's reader state for
// state (the element the reader is in, matched by name, with no nesting depth), so that an
// element is called ignored exactly when the reader ignores it, and collects what the
// checks of the whole document need.
#include "tools/settings_warnings.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <sstream>

#include <expat.h>

#include "settings/load_settings.h"
#include "tools/settings_facts.h"
#include "tools/settings_vocabulary.h"

namespace {

bool before(text_position a, text_position b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// Namespace declarations and the xml: attributes belong to XML itself, not to the settings.
bool is_xml_attribute(const std::string& name) {
    return name.compare(0, 5, "xmlns") == 0 || name.compare(0, 4, "xml:") == 0;
}

bool is_blank(const XML_Char* data, int length) {
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

struct open_element {
    const element_rule* taken; // the element's rule when the reader takes it, else nullptr
    text_position at;
    bool text_reported;
};

class settings_pass {
  public:
    settings_pass(XML_Parser parser, text_position stop) : parser_(parser), stop_(stop) {}

    void start(const std::string& name, const XML_Char** attributes);
    void end(const std::string& name);
    void text(const XML_Char* data, int length);

    // Keeps what a handler raised and halts the parser: no exception may unwind through
    // the parser's C frames. It is raised again once the parse call has returned.
    void fail(std::exception_ptr raised) {
        failure = std::move(raised);
        XML_StopParser(parser_, XML_FALSE);
    }

    settings_facts facts;
    std::vector<settings_warning> warnings;
    std::exception_ptr failure;

  private:
    text_position here() const {
        return {static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_)),
                static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_))};
    }
    void take(const element_rule& rule, const XML_Char** attributes, text_position at);
    void check_attributes(const element_rule& rule, const element_occurrence& element);
    void report_ignored(const std::string& name, text_position at);

    XML_Parser parser_;
    text_position stop_;
    const element_rule* state_ = nullptr; // the element the reader is in; nullptr at the root
    std::vector<open_element> open_;
    element_occurrence entry_; // the option or start method parameter being read
    bool stopped_ = false;     // the load failed here: nothing after counts
};

void settings_pass::start(const std::string& name, const XML_Char** attributes) {
    if (stopped_) {
        return;
    }
    const text_position at = here();
    const element_rule* rule = find_element(name);
    // The load failed here, or (at the root) the reader would refuse the element.
    if (!before(at, stop_) || (state_ == nullptr && (rule == nullptr || rule->parent))) {
        stopped_ = true;
        XML_StopParser(parser_, XML_FALSE);
        return;
    }
    if (open_.empty()) {
        facts.root = at;
    }
    // At the root only "setting" gets this far.
    const bool taken =
        rule != nullptr && (state_ == nullptr ||
                            (rule->parent != nullptr && state_->name == std::string(rule->parent)));
    if (taken) {
        take(*rule, attributes, at);
    } else {
        report_ignored(name, at);
    }
    open_.push_back({taken ? rule : nullptr, at, false});
}

void settings_pass::take(const element_rule& rule, const XML_Char** attributes, text_position at) {
    element_occurrence element;
    element.at = at;
    for (const XML_Char** pair = attributes; *pair != nullptr; pair += 2) {
        element.attributes.emplace_back(pair[0], pair[1]);
    }
    check_attributes(rule, element);
    state_ = &rule;
    if (rule.collects_text) {
        entry_ = std::move(element);
    } else if (rule.adds_up) {
        check_entry(rule.name, element, warnings);
        facts.entries[rule.name].push_back(std::move(element));
    } else if (rule.parent != nullptr) {
        ++facts.counts[rule.name];
        facts.last[rule.name] = std::move(element);
    }
}

void settings_pass::check_attributes(const element_rule& rule, const element_occurrence& element) {
    const std::vector<std::string> known = attribute_names(rule.name);
    for (const auto& attribute : element.attributes) {
        const std::string& name = attribute.first;
        if (is_xml_attribute(name) || find_attribute(rule.name, name) != nullptr) {
            continue;
        }
        std::string message =
            "unknown attribute \"" + name + "\" of \"" + rule.name + "\" is ignored";
        const std::string near = nearest_name(name, known);
        const char* owner = element_with_attribute(rule.name, name);
        if (!near.empty()) {
            message += "; did you mean \"" + near + "\"?";
        } else if (owner != nullptr) {
            message += ": \"" + name + "\" is an attribute of \"" + owner + "\"";
        } else if (known.empty()) {
            message += ": \"" + std::string(rule.name) + "\" has no attributes";
        } else {
            message += "; \"" + std::string(rule.name) + "\" has " + name_list(known);
        }
        add_warning(warnings, element.at, "unknown_attribute", std::move(message));
    }
}

// One warning for each element the reader passes over, but none for those inside an element
// that is already ignored: one warning says that all of it is.
void settings_pass::report_ignored(const std::string& name, text_position at) {
    if (!open_.empty() && open_.back().taken == nullptr) {
        return;
    }
    const element_rule* rule = find_element(name);
    if (state_->collects_text) {
        add_warning(warnings, at, "misplaced_element",
                    "the element \"" + name + "\" inside \"" + state_->name +
                        "\" is ignored, but its text becomes part of the value: write the "
                        "value as text only");
    } else if (rule != nullptr && rule->parent == nullptr) {
        add_warning(warnings, at, "misplaced_element",
                    "\"" + name + "\" is ignored here: it can only be the root element");
    } else if (rule != nullptr) {
        add_warning(warnings, at, "misplaced_element",
                    "\"" + name + "\" is ignored here: orvo reads it only inside \"" +
                        rule->parent + "\"");
    } else {
        const std::string near = nearest_name(name, element_names());
        add_warning(warnings, at, "unknown_element",
                    "unknown element \"" + name + "\" is ignored" +
                        (near.empty() ? "; \"" + std::string(state_->name) + "\" holds " +
                                            state_->content_hint
                                      : "; did you mean \"" + near + "\"?"));
    }
}

// The parser may still report the end of an empty element whose start tag stopped it.
void settings_pass::end(const std::string& name) {
    if (stopped_ || open_.empty()) {
        return;
    }
    open_.pop_back();
    if (state_ == nullptr || name != state_->name) {
        return;
    }
    if (state_->collects_text) {
        check_entry(state_->name, entry_, warnings);
        facts.entries[state_->name].push_back(std::move(entry_));
        entry_ = element_occurrence();
    }
    state_ = state_->parent != nullptr ? find_element(state_->parent) : nullptr;
}

void settings_pass::text(const XML_Char* data, int length) {
    if (state_ != nullptr && state_->collects_text) {
        entry_.text.append(data, static_cast<std::size_t>(length));
        return;
    }
    // Text left in an option after a nested option ended it is one trap with that nesting,
    // which has its own warning.
    if (stopped_ || open_.empty() || open_.back().taken == nullptr ||
        open_.back().taken->text_advice == nullptr || open_.back().text_reported ||
        is_blank(data, length)) {
        return;
    }
    open_.back().text_reported = true;
    const element_rule& rule = *open_.back().taken;
    add_warning(warnings, open_.back().at, "ignored_text",
                "the text inside \"" + std::string(rule.name) +
                    "\" is ignored: " + rule.text_advice);
}

template <typename Work> void guarded(void* user_data, Work work) {
    auto& pass = *static_cast<settings_pass*>(user_data);
    if (pass.failure) {
        return;
    }
    try {
        work(pass);
    } catch (...) {
        pass.fail(std::current_exception());
    }
}

struct parser_deleter {
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

std::vector<settings_warning> find_warnings(const std::string& path, text_position stop,
                                            bool whole_document) {
    const std::unique_ptr<XML_ParserStruct, parser_deleter> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        throw std::bad_alloc();
    }
    settings_pass pass(parser.get(), stop);
    pass.facts.path = path;
    XML_SetUserData(parser.get(), &pass);
    XML_SetElementHandler(
        parser.get(),
        [](void* user_data, const XML_Char* name, const XML_Char** attributes) {
            guarded(user_data, [&](settings_pass& p) { p.start(name, attributes); });
        },
        [](void* user_data, const XML_Char* name) {
            guarded(user_data, [&](settings_pass& p) { p.end(name); });
        });
    XML_SetCharacterDataHandler(
        parser.get(), [](void* user_data, const XML_Char* data, int length) {
            guarded(user_data, [&](settings_pass& p) { p.text(data, length); });
        });
    // The file as the reader reads it: true when the whole document was read.
    const bool complete = stream_file(parser.get(), path);
    if (pass.failure) {
        std::rethrow_exception(pass.failure);
    }
    std::vector<settings_warning> warnings = std::move(pass.warnings);
    if (complete && whole_document) {
        check_values(pass.facts, warnings);
        check_paths(pass.facts, warnings);
    }
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const settings_warning& a, const settings_warning& b) {
                         return before({a.line, a.column}, {b.line, b.column});
                     });
    return warnings;
}

} // namespace

std::vector<settings_warning> settings_warnings(const std::string& path) {
    constexpr std::uint32_t end = std::numeric_limits<std::uint32_t>::max();
    return find_warnings(path, {end, end}, true);
}

std::vector<settings_warning> settings_warnings_before(const std::string& path, std::uint32_t line,
                                                       std::uint32_t column) {
    return find_warnings(path, {line, column}, false);
}

std::string warning_line(const std::string& path, const settings_warning& warning) {
    std::ostringstream line;
    line << path << ':' << warning.line << ':' << warning.column
         << ": warning: " << warning.message;
    return line.str();
}
