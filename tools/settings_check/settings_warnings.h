// The silent traps of a settings file: what the service takes without a word but that will
// not do what its author meant (an attribute it does not know, an element it does not read,
// white space kept in an option, a relative path, a class path folder without .jar
// files ...). orvo-check and orvo-service show them.
//
// The warnings listen to the service's own reader (settings_observer.h) while it reads the
// file: what they call ignored is exactly what the reader passes over, and nothing the
// reader takes is called ignored. Paths are looked at as the service would see them, once
// the whole document has been read and before the process moves: relative ones against
// the working directory that a "process" element sets, else against this process's current
// folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/settings_observer.h"

// What a warning says is ignored, as bytes of the file (ASCII-compatible encodings only:
// the offsets are Expat's), so that a check can take it out and see the record unchanged.
struct ignored_part {
    enum class kind {
        none,         // the warning calls nothing ignored
        attribute,    // the attribute `attribute` of the start tag
        element,      // the whole element: its start tag, what it holds, its end tag
        element_tags, // only its two tags: what it holds is read where it stands
    } what = kind::none;
    std::int64_t start_tag = -1; // byte offset of the start tag
    int start_tag_size = 0;
    std::int64_t end_tag = -1; // byte offset of the end tag; the start tag's for an empty one
    int end_tag_size = 0;      // 0 for an empty element's end
    std::string attribute;
};

struct settings_warning {
    std::uint32_t line = 0;   // of the start tag the warning is about, counted from 1
    std::uint32_t column = 0; // counted from 0, as the parser counts
    std::string kind;         // a stable name, such as "unknown_attribute"
    std::string message;      // what is wrong and what to do, on one line
    ignored_part ignores;
};

// Listens to one read of the settings file at `path` (as given: relative paths in it are
// resolved from there) and gathers its warnings.
class settings_checker : public settings_observer {
  public:
    explicit settings_checker(std::string path);
    ~settings_checker() override;

    // The warnings, in the order of their positions. After a read that failed, those of the
    // elements before the failure, and none about the document as a whole. A warning about
    // an attribute or an element's text is at its element's start tag; one about something
    // the file leaves out is at the root element's start tag (at the last element that would
    // have given it, when there is one).
    std::vector<settings_warning> warnings() const;

    void element_started(const std::string& name, const element_rule* taken, reader_state in,
                         const xml_position& at) override;
    void attribute(const element_rule& element, const std::string& name, const std::string& value,
                   const attribute_rule* taken) override;
    void element_ended(const std::string& name, const element_rule* closed,
                       const xml_position& at) override;
    void text(const char* data, int length, bool collected) override;
    void document_read() override;

  private:
    struct pass;
    std::unique_ptr<pass> pass_;
};

// The warnings of the settings file at `path`, read on its own into a record of its own:
// for a file that loads, all of them; else those before its error.
std::vector<settings_warning> settings_warnings(const std::string& path);

// "PATH:LINE:COLUMN: warning: MESSAGE", without a line end.
std::string warning_line(const std::string& path, const settings_warning& warning);
