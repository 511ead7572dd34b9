// The settings file's grammar, said once: which element is read where, what each of its
// attributes does to the record, and which elements' text is a value. The reader walks
// these tables; orvo-check learns from the reader, through its observer, what was taken
// and what was passed over. A new setting is a new row.
//
// The reader is a flat state machine over element names, with no nesting depth: an element
// is taken when its name has a row for the state the reader is in, and then (unless it opens
// no state of its own) the reader is in its state until an end tag of the same name. Any
// other start tag is passed over and leaves the state as it is, so what it holds is read as
// if its tags were not there; any other end tag is passed over too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings.h"

enum reader_state : std::int32_t {
    state_root = 0,               // nothing yet, or the root element has been closed
    state_setting = 1,            // inside the root element "setting"
    state_log = 2,                // inside "log"
    state_jvm = 3,                // inside "jvm"
    state_option = 4,             // inside "option": text is collected
    state_server = 5,             // inside "server"
    state_start_method_param = 6, // inside "start_method_param": text is collected
    state_process = 7,            // inside "process"
};

// An attribute's value as the start tag gives it; empty when the tag does not carry it.
using attribute_text = std::optional<std::string>;

// What a value is used for, which decides what orvo-check looks at in it.
enum class value_role {
    log_path,       // a file the service appends to
    library_path,   // the JVM library
    class_path,     // ";"-separated class path items
    folder,         // a folder that must exist
    java_class,     // a class name in the JVM's form
    java_method,    // a method name
    time_limit,     // milliseconds
    log_rotation,   // when logs are rotated, and how many rotated files are kept
    variable_name,  // an environment variable's name
    variable_value, // an environment variable's value, with ${NAME} expanded
    java_option,    // an option for the JVM
    java_parameter, // a parameter of the start method
};

struct attribute_rule {
    const char* element;
    const char* name;
    value_role role;
    bool required; // empty or absent, the service cannot work (orvo-check warns)
    // Whether the reader can use the value; a value it cannot use makes the file unusable,
    // with the error 'the attribute "NAME" of "ELEMENT" must ' + must + ', not "VALUE"'.
    // Null: any value.
    bool (*usable)(const attribute_text& value);
    const char* must;
    // What the value does to the record. Each taken element runs the setter of every one of
    // its attributes, carried or not, once all of them are usable.
    void (*set)(settings_record& record, const attribute_text& value);
};

struct element_rule {
    const char* name;
    reader_state read_in; // the state in which the reader takes it
    reader_state opens;   // the state while it is open; read_in for an element that opens none
    // Before its attributes are set: an element whose occurrences add up makes its entry.
    void (*begin)(settings_record& record);
    // An element whose text is a value (opens a state that collects text): stores the text
    // at the element's end tag.
    void (*take_text)(settings_record& record, std::string text);
    // For orvo-check: what to do instead of writing text in it; null where text is a value.
    const char* text_advice;
};

const std::vector<element_rule>& element_rules();
const std::vector<attribute_rule>& attribute_rules();

// The rule of the element `name` when the reader in `state` takes it; nullptr when it passes
// over it.
const element_rule* element_taken_in(reader_state state, const std::string& name);

// The rule of the element that opens `state`; nullptr for state_root.
const element_rule* element_opening(reader_state state);

// The rule of an element of that name, wherever it is read; nullptr when there is none.
const element_rule* find_element(const std::string& name);

// The rule of the attribute `name` of `element`, or nullptr.
const attribute_rule* find_attribute(const std::string& element, const std::string& name);

// True when the text read in `state` is collected into a value.
bool collects_text(reader_state state);

// True for an element each occurrence of which adds an entry to the record ("option",
// "start_method_param", "env"); false for one whose last occurrence sets its fields.
bool adds_up(const element_rule& rule);

// The names of the elements taken inside `rule`, in the table's order.
std::vector<std::string> names_taken_in(const element_rule& rule);
