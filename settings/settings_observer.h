// What the settings reader tells a listener about each part of the document: whether it took
// it or passed over it, and where it stands. orvo-check's warnings are built on this, so
// that they can never disagree with what the service reads. The service reads without one.
#pragma once

#include <string>

#include "settings/settings_grammar.h"
#include "settings/xml_stream.h"

class settings_observer {
  public:
    virtual ~settings_observer() = default;

    // A start tag met in the reader's state `in`. `taken` is the element's rule when the
    // reader takes it, null when it passes over it (it then changes nothing, and what it
    // holds is read where it stands).
    virtual void element_started(const std::string& name, const element_rule* taken,
                                 reader_state in, const xml_position& at) = 0;

    // Each attribute of a taken element, in the tag's order, after element_started:
    // `taken` is its rule, null for one the reader passes over.
    virtual void attribute(const element_rule& element, const std::string& name,
                           const std::string& value, const attribute_rule* taken) = 0;

    // An end tag. `closed` is the rule of the element whose state it ends (the one taken
    // last of that name, which need not be the element the tag belongs to), null when the
    // reader passes over it.
    virtual void element_ended(const std::string& name, const element_rule* closed,
                               const xml_position& at) = 0;

    // Character data; `collected` when it becomes part of a value (an option's text).
    virtual void text(const char* data, int length, bool collected) = 0;

    // The whole document has been read without an error; nothing else has been done yet.
    virtual void document_read() {}
};
