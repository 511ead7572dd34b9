#include "settings/settings_reader.h"

#include <cstring>

#include "settings/exceptions.h"
#include "settings/visible_text.h"

namespace {

bool is(const XML_Char* name, const char* expected) {
    return std::strcmp(name, expected) == 0;
}

// The value of the attribute `name`, or null when the element does not carry it.
const XML_Char* get_attribute(const XML_Char** attributes, const char* name) {
    for (const XML_Char** pair = attributes; *pair != nullptr; pair += 2) {
        if (is(pair[0], name)) {
            return pair[1];
        }
    }
    return nullptr;
}

attribute_text value_of(const XML_Char** attributes, const char* name) {
    const XML_Char* value = get_attribute(attributes, name);
    return value != nullptr ? attribute_text(value) : std::nullopt;
}

// Empties the text accumulator and clears its state flags.
void reset_text(std::ostringstream& text) {
    text.str(std::string());
    text.clear();
}

} // namespace

settings_parse_context::settings_parse_context(settings_record& record, settings_observer* observer)
    : target(&record), observer_(observer) {}

void settings_parse_context::read_file(const std::string& path) {
    xml_stream stream(*this);
    stream_ = &stream;
    stream.parse_file(path);
    if (observer_ != nullptr) {
        observer_->document_read();
    }
}

void settings_parse_context::read_bytes(const char* data, std::size_t size, std::size_t piece) {
    xml_stream stream(*this);
    stream_ = &stream;
    stream.parse_bytes(data, size, piece);
    if (observer_ != nullptr) {
        observer_->document_read();
    }
}

xml_position settings_parse_context::here() const {
    return stream_ != nullptr ? stream_->here() : xml_position();
}

void settings_parse_context::enter(reader_state next) {
    state = next;
    collecting_ = collects_text(next);
    if (collecting_) {
        reset_text(text);
    }
}

// The root must be "setting". Once a "setting" nested in it has ended the settings with its
// end tag, the reader is at the root again while the document is not: what follows is an
// error of its own, at its place.
void settings_parse_context::refuse_at_root(const XML_Char* name) const {
    if (depth_ == 0) {
        throw load_exception("only \"setting\" could exist at root");
    }
    const xml_position at = here();
    throw load_exception("\"" + std::string(name) +
                             "\" follows the end tag of a \"setting\" nested in the root "
                             "\"setting\" (line " +
                             std::to_string(nested_end_.line) + ", column " +
                             std::to_string(nested_end_.column) +
                             "), where the settings ended: remove the nested \"setting\"",
                         at.line, at.column);
}

// Every attribute is checked before any field changes, so that a rejected element leaves
// the record as the elements before it made it.
void settings_parse_context::take(const element_rule& rule, const XML_Char** attributes) {
    const std::vector<attribute_rule>& rules = attribute_rules();
    for (const attribute_rule& attribute : rules) {
        if (attribute.usable == nullptr || !is(rule.name, attribute.element)) {
            continue;
        }
        const attribute_text value = value_of(attributes, attribute.name);
        if (!attribute.usable(value)) {
            const xml_position at = here();
            throw load_exception(std::string("the attribute \"") + attribute.name + "\" of \"" +
                                     rule.name + "\" must " + attribute.must + ", not \"" +
                                     visible(value.value_or(std::string())) + '"',
                                 at.line, at.column);
        }
    }
    if (observer_ != nullptr) {
        observer_->element_started(rule.name, &rule, state, here());
        for (const XML_Char** pair = attributes; *pair != nullptr; pair += 2) {
            observer_->attribute(rule, pair[0], pair[1], find_attribute(rule.name, pair[0]));
        }
    }
    if (rule.begin != nullptr) {
        rule.begin(*target);
    }
    for (const attribute_rule& attribute : rules) {
        if (is(rule.name, attribute.element)) {
            attribute.set(*target, value_of(attributes, attribute.name));
        }
    }
    if (rule.opens != rule.read_in) {
        enter(rule.opens);
    }
}

void settings_parse_context::on_start_element(const XML_Char* name, const XML_Char** attributes) {
    const element_rule* rule = element_taken_in(state, name);
    if (state == state_root && rule == nullptr) {
        refuse_at_root(name);
    }
    ++depth_;
    if (rule != nullptr) {
        take(*rule, attributes);
    } else if (observer_ != nullptr) {
        observer_->element_started(name, nullptr, state, here());
    }
}

void settings_parse_context::on_end_element(const XML_Char* name) {
    --depth_;
    const element_rule* open = element_opening(state);
    if (open == nullptr || !is(name, open->name)) {
        if (observer_ != nullptr) {
            observer_->element_ended(name, nullptr, here());
        }
        return;
    }
    if (open->take_text != nullptr) {
        open->take_text(*target, text.str());
    }
    if (state == state_setting && depth_ > 0) {
        nested_end_ = here();
    }
    enter(open->read_in);
    if (observer_ != nullptr) {
        observer_->element_ended(name, open, here());
    }
}

void settings_parse_context::on_character_data(const XML_Char* data, int length) {
    if (collecting_) {
        text.write(data, length);
    }
    if (observer_ != nullptr) {
        observer_->text(data, length, collecting_);
    }
}
