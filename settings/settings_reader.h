// The parser callbacks that fill the settings record while the document streams through
// Expat, walking the grammar's tables (settings_grammar.h): a flat state machine over
// element names, with no tree and no nesting depth.
#pragma once

#include <cstddef>
#include <sstream>
#include <string>

#include "settings/settings.h"
#include "settings/settings_grammar.h"
#include "settings/settings_observer.h"
#include "settings/xml_stream.h"

// The reader of one load: its state, the text of the current entry and the record it fills.
class settings_parse_context : public xml_handler {
  public:
    // Fills `record` (not owned), telling `observer` (optional) about each part it meets.
    settings_parse_context(settings_record& record, settings_observer* observer);

    // Reads the file at `path`, or `size` bytes in pieces of `piece` bytes (0: at once),
    // through one parser. Raises what xml_stream raises, or load_exception when the root is
    // not "setting", an attribute's value cannot be used, or an element follows the end of
    // a "setting" nested in the root. Nothing is rolled back on failure.
    void read_file(const std::string& path);
    void read_bytes(const char* data, std::size_t size, std::size_t piece);

    void on_start_element(const XML_Char* name, const XML_Char** attributes) override;
    void on_end_element(const XML_Char* name) override;
    void on_character_data(const XML_Char* data, int length) override;

    reader_state state = state_root;
    std::ostringstream text{std::ios_base::out}; // character data of the current entry
    settings_record* target;                     // the record being filled, not owned

  private:
    void take(const element_rule& rule, const XML_Char** attributes);
    void enter(reader_state next);
    [[noreturn]] void refuse_at_root(const XML_Char* name) const;
    xml_position here() const;

    settings_observer* observer_;
    const xml_stream* stream_ = nullptr; // while a read is under way, for positions
    bool collecting_ = false;            // the state collects text
    std::size_t depth_ = 0;              // elements open, whatever the reader makes of them
    xml_position nested_end_;            // a nested "setting"'s end tag that ended the root's state
};
