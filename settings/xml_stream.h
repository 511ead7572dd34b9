// The one way orvo reads XML: an Expat parser owned by one object, its callbacks kept from
// unwinding through Expat's C frames, and a file or a piece of memory streamed through it.
// The settings reader, orvo-check's warnings (through the reader), the fuzz target and the
// benchmark all read through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include <expat.h>

// Where the parser is: the event being reported, or the failure.
struct xml_position {
    std::uint32_t line = 0;       // counted from 1
    std::uint32_t column = 0;     // counted from 0
    std::int64_t byte_index = -1; // byte offset of the event in the input; -1 when there is none
    int byte_count = 0;           // bytes of the event's own markup (0 for an empty element's end)
};

// What a document's events do. A handler may throw: the exception is kept, the parser is
// halted and the exception raised again from parse_file or parse_bytes, so that no later
// callback runs.
class xml_handler {
  public:
    virtual ~xml_handler() = default;
    virtual void on_start_element(const XML_Char* name, const XML_Char** attributes) = 0;
    virtual void on_end_element(const XML_Char* name) = 0;
    virtual void on_character_data(const XML_Char* data, int length) = 0;
};

class xml_stream {
  public:
    // A parser without an encoding name (the document's declaration or byte-order mark
    // decides), reporting to `handler`, which must outlive the stream. Raises
    // std::bad_alloc when no parser can be made.
    explicit xml_stream(xml_handler& handler);
    ~xml_stream();
    xml_stream(const xml_stream&) = delete;
    xml_stream& operator=(const xml_stream&) = delete;

    // Streams the file at `path` through the parser, in pieces of 64 KiB that grow while a
    // token goes on without an event (so that one huge token is not parsed again for every
    // piece, which Expat before 2.6 does), never the file as a whole. Raises settings_file_error when the file cannot be
    // opened or read (a folder, a missing or unreadable file, a named pipe, which would be
    // waited on), MXML::SyntaxException at the first parse error, or what a handler raised.
    void parse_file(const std::string& path);

    // The same for `size` bytes in memory, handed to the parser in pieces of at most
    // `piece` bytes (all at once when `piece` is 0), the last call final.
    void parse_bytes(const char* data, std::size_t size, std::size_t piece = 0);

    // The current event, for a handler that reports where it is.
    xml_position here() const;

  private:
    void feed(const char* data, std::size_t size, bool is_final);
    [[noreturn]] void fail();

    template <typename Work> static void guarded(void* user_data, Work work);

    XML_Parser parser_;
    xml_handler& handler_;
    std::exception_ptr raised_; // what a handler threw; the parser is halted
    std::size_t events_ = 0;    // callbacks so far
};
