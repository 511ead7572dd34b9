// The ways in which reading a settings file can fail.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <expat.h>

// A well-formed document that is not a usable settings document: its root is not
// "setting", or an attribute holds a value that cannot be used.
class load_exception : public std::domain_error {
  public:
    explicit load_exception(const std::string& message) : std::domain_error(message) {}
    // An error at an element: where its start tag begins.
    load_exception(const std::string& message, std::uint32_t at_line, std::uint32_t at_column)
        : std::domain_error(message), line(at_line), column(at_column) {}

    std::uint32_t line = 0;   // counted from 1; 0 when the error carries no position
    std::uint32_t column = 0; // counted from 0
};

// The settings file cannot be opened or read: the path names nothing, a folder or a named
// pipe, or may not be read. The message is the system's reason, without a final period.
class settings_file_error : public std::domain_error {
  public:
    settings_file_error(const std::string& reason, std::uint32_t code)
        : std::domain_error(reason), system_code(code) {}

    std::uint32_t system_code; // the system's error code; 0 for a reason of orvo's own
};

namespace MXML {

// The file could not be read or is not well-formed XML. The message is empty on purpose:
// the position and the parser's error code are all it carries.
class SyntaxException : public std::domain_error {
  public:
    SyntaxException(XML_Error code, std::int32_t index, std::uint32_t at_line,
                    std::uint32_t at_column)
        : std::domain_error(""), error_code(code), byte_index(index), line(at_line),
          column(at_column) {}

    XML_Error error_code;    // the parser's error code at the failure
    std::int32_t byte_index; // byte offset of the failing event, -1 when there is none
    std::uint32_t line;      // counted from 1
    std::uint32_t column;    // counted from 0
};

} // namespace MXML
