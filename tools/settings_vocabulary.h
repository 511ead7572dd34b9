// The names a settings file may use, where the reader takes each one, and the nearest known
// name to one it does not know. orvo-check's warnings are built on these tables; the
// service's reader has its own state machine and does not use them.
#pragma once

#include <string>
#include <vector>

struct element_rule {
    const char* name;
    const char* parent; // the element it is read in; nullptr for the root
    bool collects_text; // its character data is a value (option, start_method_param)
    bool adds_up;       // each occurrence adds an entry; otherwise the last one wins
    const char*
        text_advice; // what to do instead of writing text in it; nullptr if it collects text
    const char* content_hint; // what it holds, for an unknown name inside it
};

// What a value is used for, which decides what is checked in it.
enum class value_role {
    log_path,      // a file the service appends to
    library_path,  // the JVM library
    class_path,    // ";"-separated class path items
    folder,        // a folder that must exist
    java_class,    // a class name in the JVM's form
    java_method,   // a method name
    time_limit,    // milliseconds; the reader itself refuses a bad one
    rotation,      // when and how far logs are rotated; the reader itself refuses a bad one
    variable_name, // an environment variable's name
    variable_value // an environment variable's value, with ${NAME} expanded
};

struct attribute_rule {
    const char* element;
    const char* name;
    value_role role;
    bool required; // empty or absent, the service cannot work
};

const std::vector<element_rule>& element_rules();
const std::vector<attribute_rule>& attribute_rules();

// The rule of the element `name`, or nullptr when orvo knows no element of that name.
const element_rule* find_element(const std::string& name);
// The rule of the attribute `name` of `element`, or nullptr.
const attribute_rule* find_attribute(const std::string& element, const std::string& name);
// The element, other than `element`, that has an attribute `name`; nullptr when none has.
const char* element_with_attribute(const std::string& element, const std::string& name);

// The candidate that `name` most likely meant: one equal to it but for letter case, else the
// nearest within two edits (an insertion, deletion, change or swap of two neighbours, letter
// case aside; for short names less, so that "foo" does not become "log"), else one that
// `name` begins with as a word ("class_name", as orvo-check shows the attribute "class"),
// else one that other tools' words suggest ("classname"). Empty when none is near.
std::string nearest_name(const std::string& name, const std::vector<std::string>& candidates);
