// The comparison behind the settings reader's fuzz target and its corpus replay.
//
// Each input is loaded twice: once through load_settings(), which reads a file in 4096-byte
// chunks, and once in a single piece through the same callbacks. Both must end the same way
// (loaded, syntax error, or load error: a wrong root or a bad time limit) and leave the
// same record: where the chunk boundaries fall must not change what the reader collects.
// Only the two settings exceptions are expected; anything else escaping or a difference
// between the two loads is a finding.
#include "fuzz/settings_reader_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include <expat.h>

#include "javahost/class_path.h"
#include "settings/exceptions.h"
#include "settings/load_settings.h"
#include "settings/settings_reader.h"

namespace {

// How one load ended, with what it left in the record.
struct outcome {
    enum kind { loaded, syntax, load_error } how = loaded;
    int error_code = 0;
    std::int32_t byte_index = 0;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::string message;
    settings_record record;
};

template <typename Load> outcome run(Load load) {
    outcome result;
    try {
        load(result.record);
    } catch (const MXML::SyntaxException& error) {
        result.how = outcome::syntax;
        result.error_code = error.error_code;
        result.byte_index = error.byte_index;
        result.line = error.line;
        result.column = error.column;
        result.message = error.what();
    } catch (const load_exception& error) {
        result.how = outcome::load_error;
        result.message = error.what();
        result.line = error.line;
        result.column = error.column;
    }
    return result;
}

// The whole input handed to the parser in one call, through the reader's callbacks.
void load_in_one_piece(const std::uint8_t* data, std::size_t size, settings_record& record) {
    const XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        std::abort();
    }
    settings_parse_context context;
    context.target = &record;
    context.parser = parser;
    XML_SetUserData(parser, &context);
    XML_SetElementHandler(parser, on_start_element, on_end_element);
    XML_SetCharacterDataHandler(parser, on_character_data);
    const XML_Status status =
        XML_Parse(parser, reinterpret_cast<const char*>(data), static_cast<int>(size), XML_TRUE);
    const XML_Error code = XML_GetErrorCode(parser);
    const auto byte_index = static_cast<std::int32_t>(XML_GetCurrentByteIndex(parser));
    const auto line = static_cast<std::uint32_t>(XML_GetCurrentLineNumber(parser));
    const auto column = static_cast<std::uint32_t>(XML_GetCurrentColumnNumber(parser));
    XML_ParserFree(parser);
    if (context.failure) {
        std::rethrow_exception(context.failure);
    }
    if (status == XML_STATUS_ERROR) {
        throw MXML::SyntaxException(code, byte_index, line, column);
    }
    if (!record.class_path.empty()) {
        record.options.push_back(make_class_path_option(build_class_path(record.class_path)));
    }
}

bool same_env(const std::list<env_variable>& a, const std::list<env_variable>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const env_variable& x, const env_variable& y) {
                          return x.name == y.name && x.value == y.value;
                      });
}

bool same_record(const settings_record& a, const settings_record& b) {
    return stdout_log(a) == stdout_log(b) && stderr_log(a) == stderr_log(b) &&
           a.working_directory == b.working_directory && same_env(a.env, b.env) &&
           a.dll_path == b.dll_path && a.class_path == b.class_path && a.options == b.options &&
           a.class_name == b.class_name && a.start_method == b.start_method &&
           a.stop_method == b.stop_method && a.start_method_params == b.start_method_params &&
           a.start_timeout == b.start_timeout && a.stop_timeout == b.stop_timeout &&
           a.max_size == b.max_size && a.daily == b.daily && a.max_files == b.max_files;
}

void describe(const char* name, const outcome& result) {
    static const char* const kinds[] = {"loaded", "syntax error", "load error"};
    std::fprintf(stderr,
                 "  %s: %s, error_code %d, byte_index %d, line %u, column %u, %zu options\n", name,
                 kinds[result.how], result.error_code, result.byte_index, result.line,
                 result.column, result.record.options.size());
}

void check(const outcome& chunked, const outcome& whole, std::size_t size) {
    const auto finding = [&](const char* what) {
        std::fprintf(stderr, "settings reader fuzzer: %s\n", what);
        describe("in chunks", chunked);
        describe("in one piece", whole);
        std::abort();
    };
    if (chunked.how != whole.how) {
        finding("the chunked and the one-piece load end differently");
    }
    if (chunked.how == outcome::syntax) {
        if (!chunked.message.empty()) {
            finding("a syntax error carries a message");
        }
        // The error itself may differ: Expat classifies junk after the root element by the
        // token it can see, and a chunk boundary can cut that token short. The position
        // must still lie inside the input.
        if (chunked.line < 1 || chunked.byte_index < -1 ||
            chunked.byte_index > static_cast<std::int64_t>(size)) {
            finding("a syntax error lies outside the input");
        }
    }
    if (chunked.how == outcome::load_error) {
        if (chunked.message != whole.message || chunked.line != whole.line ||
            chunked.column != whole.column) {
            finding("the two loads give different load errors");
        }
        if (chunked.message != "only \"setting\" could exist at root" &&
            chunked.message.compare(0, 15, "the attribute \"") != 0) {
            finding("a load error carries an unknown message");
        }
    }
    if (!same_record(chunked.record, whole.record)) {
        finding("the chunked and the one-piece load leave different records");
    }
}

} // namespace

void check_settings_input(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const outcome chunked = run([&](settings_record& record) { load_settings(path, record); });
    const outcome whole =
        run([&](settings_record& record) { load_in_one_piece(data, size, record); });
    check(chunked, whole, size);
}
