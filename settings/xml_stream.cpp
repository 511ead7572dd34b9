#include "settings/xml_stream.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/file_reader.h"
#include "settings/exceptions.h"

namespace {

// The usual piece of a file, and the most that one piece may grow to. Expat before 2.6
// parses a token that a piece leaves unfinished again from its start with every piece that
// follows: a piece that gives no event at all (the token goes on) doubles the next one, so
// that one huge token is parsed again only a logarithmic number of times and reading stays
// linear in the file's size; the first event brings the pieces back to the usual size, so
// that an ordinary file, however large, never holds more than that in memory here.
constexpr std::size_t usual_piece = 64 * 1024;
constexpr std::size_t largest_piece = 64 * 1024 * 1024;

} // namespace

template <typename Work> void xml_stream::guarded(void* user_data, Work work) {
    auto& stream = *static_cast<xml_stream*>(user_data);
    if (stream.raised_) {
        return;
    }
    ++stream.events_;
    try {
        work(stream.handler_);
    } catch (...) {
        stream.raised_ = std::current_exception();
        XML_StopParser(stream.parser_, XML_FALSE);
    }
}

xml_stream::xml_stream(xml_handler& handler)
    : parser_(XML_ParserCreate(nullptr)), handler_(handler) {
    if (parser_ == nullptr) {
        throw std::bad_alloc();
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(
        parser_,
        [](void* user_data, const XML_Char* name, const XML_Char** attributes) {
            guarded(user_data, [&](xml_handler& h) { h.on_start_element(name, attributes); });
        },
        [](void* user_data, const XML_Char* name) {
            guarded(user_data, [&](xml_handler& h) { h.on_end_element(name); });
        });
    XML_SetCharacterDataHandler(parser_, [](void* user_data, const XML_Char* data, int length) {
        guarded(user_data, [&](xml_handler& h) { h.on_character_data(data, length); });
    });
}

xml_stream::~xml_stream() {
    XML_ParserFree(parser_);
}

void xml_stream::parse_file(const std::string& path) {
    platform::file_reader file;
    platform::read_failure failure;
    if (!file.open(path, failure)) {
        throw settings_file_error(failure.reason, failure.code);
    }
    std::vector<char> buffer(usual_piece);
    for (;;) {
        const std::ptrdiff_t count = file.read(buffer.data(), buffer.size(), failure);
        if (count < 0) {
            throw settings_file_error(failure.reason, failure.code);
        }
        const std::size_t events_before = events_;
        feed(buffer.data(), static_cast<std::size_t>(count), count == 0);
        if (count == 0) {
            return;
        }
        if (events_ == events_before && buffer.size() < largest_piece) {
            buffer.resize(buffer.size() * 2);
        } else if (events_ != events_before && buffer.size() > usual_piece) {
            buffer.resize(usual_piece);
            buffer.shrink_to_fit();
        }
    }
}

void xml_stream::parse_bytes(const char* data, std::size_t size, std::size_t piece) {
    if (piece == 0) {
        piece = std::max<std::size_t>(size, 1);
    }
    std::size_t at = 0;
    do {
        const std::size_t count = std::min(piece, size - at);
        feed(data + at, count, at + count == size);
        at += count;
    } while (at < size);
}

xml_position xml_stream::here() const {
    return {static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser_)),
            static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser_)),
            static_cast<std::int64_t>(XML_GetCurrentByteIndex(parser_)),
            XML_GetCurrentByteCount(parser_)};
}

void xml_stream::feed(const char* data, std::size_t size, bool is_final) {
    if (XML_Parse(parser_, data, static_cast<int>(size), is_final ? XML_TRUE : XML_FALSE) ==
        XML_STATUS_ERROR) {
        fail();
    }
}

void xml_stream::fail() {
    // A handler that halted the parser left the real reason behind.
    if (raised_) {
        std::rethrow_exception(raised_);
    }
    const xml_position at = here();
    throw MXML::SyntaxException(XML_GetErrorCode(parser_), static_cast<std::int32_t>(at.byte_index),
                                at.line, at.column);
}
