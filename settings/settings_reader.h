// The parser callbacks that fill the settings record while the document streams through
// Expat. They form a flat state machine over element names: no tree, no nesting depth.
#pragma once

#include <cstdint>
#include <exception>
#include <sstream>
#include <string>

#include <expat.h>

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

// The user data of one load. It lives on the stack of load_settings().
struct settings_parse_context {
    reader_state state = state_root;
    std::ostringstream text{std::ios_base::out}; // character data of the current entry
    settings_record* target = nullptr;           // the record being filled, not owned

    // A C++ exception must not unwind through Expat's C frames. A callback that meets a
    // document error records it here and halts the parser; load_settings() raises it
    // once XML_Parse has returned. While it is set, no callback touches the record.
    XML_Parser parser = nullptr;
    std::exception_ptr failure;
};

// The value of the attribute `name`, or "" when the element does not carry it.
std::string get_attribute(const XML_Char** attributes, const char* name);

// Empties the text accumulator and clears its state flags.
void reset_text(settings_parse_context& context);

// Expat callbacks; user_data is the settings_parse_context.
void XMLCALL on_start_element(void* user_data, const XML_Char* name, const XML_Char** attributes);
void XMLCALL on_end_element(void* user_data, const XML_Char* name);
void XMLCALL on_character_data(void* user_data, const XML_Char* data, int length);
