#include "settings/load_settings.h"

#include <fstream>
#include <new>

#include <expat.h>

#include "javahost/class_path.h"
#include "platform/file_status.h"
#include "settings/exceptions.h"
#include "settings/settings_reader.h"

namespace {

// Holds the parser of one load and feeds a file through it.
struct parser_holder {
    XML_Parser parser;

    void parse_file(const std::string& path) const;
};

void parser_holder::parse_file(const std::string& path) const {
    if (!stream_file(parser, path)) {
        const XML_Error code = XML_GetErrorCode(parser);
        const auto byte_index = static_cast<std::int32_t>(XML_GetCurrentByteIndex(parser));
        const auto line = static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser));
        const auto column = static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser));
        throw MXML::SyntaxException(code, byte_index, line, column);
    }
}

} // namespace

bool stream_file(XML_Parser parser, const std::string& path) {
    // The file is never held whole in memory: it streams through one buffer of this size.
    constexpr std::streamsize read_chunk = 4096;
    // A file that cannot be opened only leaves the stream failed: the parser is then
    // given no data and reports "no element found", as for an empty file. A named pipe
    // would hold the start until something writes to it; it counts as unreadable.
    std::ifstream file;
    if (!platform::opening_waits(path)) {
        file.open(path.c_str());
    }
    char buffer[read_chunk];
    while (!file.eof()) {
        file.read(buffer, read_chunk);
        const std::streamsize count = file.gcount();
        const int is_final = count < read_chunk ? XML_TRUE : XML_FALSE;
        if (XML_Parse(parser, buffer, static_cast<int>(count), is_final) == XML_STATUS_ERROR) {
            return false;
        }
    }
    return true;
}

void load_settings(const std::string& path, settings_record& record) {
    read_settings(path, record);
    add_class_path_option(record);
}

void read_settings(const std::string& path, settings_record& record) {
    const parser_holder holder{XML_ParserCreate(nullptr)};
    if (holder.parser == nullptr) {
        throw std::bad_alloc();
    }
    settings_parse_context context;
    context.target = &record;
    context.parser = holder.parser;
    XML_SetUserData(holder.parser, &context);
    XML_SetElementHandler(holder.parser, on_start_element, on_end_element);
    XML_SetCharacterDataHandler(holder.parser, on_character_data);

    try {
        holder.parse_file(path);
    } catch (const MXML::SyntaxException&) {
        XML_ParserFree(holder.parser);
        // A callback that halted the parser left the real reason behind.
        if (context.failure) {
            std::rethrow_exception(context.failure);
        }
        throw;
    } catch (...) {
        XML_ParserFree(holder.parser);
        throw;
    }
    XML_ParserFree(holder.parser);
}

void add_class_path_option(settings_record& record) {
    if (!record.class_path.empty()) {
        record.options.push_back(make_class_path_option(build_class_path(record.class_path)));
    }
}
