// The checks behind the settings reader's fuzz target and its corpus replay.
//
// Each input is read from its file, as the service reads it, and from memory in several
// piece sizes through the same reader: every read must end the same way (loaded, syntax
// error, or load error) and leave the same record, wherever the pieces end. Then the
// warnings' claims are tried: for a document that loads, every attribute or element that a
// warning calls ignored is taken out of the input (the element with what it holds, or its
// tags alone, as the warning says), and the record must stay as it was. Only the settings
// exceptions are expected; anything else escaping, or a difference, is a finding.
#include "fuzz/settings_reader_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "settings/exceptions.h"
#include "settings/read_settings.h"
#include "tools/settings_check/settings_warnings.h"

namespace {

// How one read ended, with what it left in the record.
struct outcome {
    enum kind { loaded, syntax, load_error, file_error } how = loaded;
    int error_code = 0;
    std::int32_t byte_index = 0;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::string message;
    settings_record record;
};

template <typename Read> outcome run(Read read) {
    outcome result;
    try {
        read(result.record);
    } catch (const settings_file_error& error) {
        result.how = outcome::file_error;
        result.message = error.what();
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

outcome read_in_pieces(const std::string& input, std::size_t piece) {
    return run([&](settings_record& record) {
        read_settings_bytes(input.data(), input.size(), piece, record);
    });
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
    static const char* const kinds[] = {"loaded", "syntax error", "load error", "file error"};
    std::fprintf(stderr,
                 "  %s: %s, error_code %d, byte_index %d, line %u, column %u, %zu options: %s\n",
                 name, kinds[result.how], result.error_code, result.byte_index, result.line,
                 result.column, result.record.options.size(), result.message.c_str());
}

[[noreturn]] void finding(const char* what, const outcome& one, const outcome& other) {
    std::fprintf(stderr, "settings reader fuzzer: %s\n", what);
    describe("first", one);
    describe("second", other);
    std::abort();
}

void compare(const outcome& file, const outcome& pieces, std::size_t size) {
    if (file.how != pieces.how) {
        finding("two reads of one input end differently", file, pieces);
    }
    if (file.how == outcome::syntax) {
        if (!file.message.empty()) {
            finding("a syntax error carries a message", file, pieces);
        }
        // The error itself may differ: Expat classifies junk after the root element by the
        // token it can see, and a piece's end can cut that token short. The position must
        // still lie inside the input.
        if (file.line < 1 || file.byte_index < -1 ||
            file.byte_index > static_cast<std::int64_t>(size)) {
            finding("a syntax error lies outside the input", file, pieces);
        }
    }
    if (file.how == outcome::load_error &&
        (file.message != pieces.message || file.line != pieces.line ||
         file.column != pieces.column)) {
        finding("two reads give different load errors", file, pieces);
    }
    if (!same_record(file.record, pieces.record)) {
        finding("two reads of one input leave different records", file, pieces);
    }
}

// The warnings about the document's structure alone: the checks of values and paths, which
// look at the disk, have nothing to say about what the reader takes.
class structure_checker : public settings_checker {
  public:
    structure_checker() : settings_checker("fuzz.xml") {}
    void document_read() override {}
};

// Byte offsets are Expat's offsets into the input; they can be used to cut it where every
// character of the markup is one byte: not in UTF-16, and not where entities declared in a
// DOCTYPE stand in for markup.
bool offsets_cut_markup(const std::string& input) {
    return input.find('\0') == std::string::npos && input.find("<!DOCTYPE") == std::string::npos &&
           input.compare(0, 2, "\xFE\xFF") != 0 && input.compare(0, 2, "\xFF\xFE") != 0;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The start tag `tag` without its attribute `name` (with the white space before it); the
// tag as it is when it has no such attribute.
std::string without_attribute(const std::string& tag, const std::string& name) {
    std::size_t at = 1;
    while (at < tag.size() && !is_space(tag[at]) && tag[at] != '/' && tag[at] != '>') {
        ++at;
    }
    while (at < tag.size()) {
        const std::size_t space = at;
        while (at < tag.size() && is_space(tag[at])) {
            ++at;
        }
        const std::size_t name_start = at;
        while (at < tag.size() && !is_space(tag[at]) && tag[at] != '=' && tag[at] != '/' &&
               tag[at] != '>') {
            ++at;
        }
        const std::string found = tag.substr(name_start, at - name_start);
        at = tag.find_first_of("'\"", at);
        if (found.empty() || at == std::string::npos) {
            break;
        }
        const std::size_t close = tag.find(tag[at], at + 1);
        if (close == std::string::npos) {
            break;
        }
        at = close + 1;
        if (found == name) {
            return tag.substr(0, space) + tag.substr(at);
        }
    }
    return tag;
}

// `before` and `after` joined where markup was taken out from between them. A carriage
// return and a line feed that the markup kept apart would become one line end once
// joined, as XML reads them: a comment, which the parser passes over, keeps them apart.
std::string joined(const std::string& before, const std::string& after) {
    const bool line_end = !before.empty() && before.back() == '\r' && !after.empty() &&
                          after.front() == '\n';
    return before + (line_end ? "<!---->" : "") + after;
}

// The input with what `ignores` names taken out.
std::string without(const std::string& input, const ignored_part& ignores) {
    const auto start = static_cast<std::size_t>(ignores.start_tag);
    const auto start_size = static_cast<std::size_t>(ignores.start_tag_size);
    const auto end = static_cast<std::size_t>(ignores.end_tag);
    const auto end_size = static_cast<std::size_t>(ignores.end_tag_size);
    switch (ignores.what) {
    case ignored_part::kind::attribute:
        return input.substr(0, start) +
               without_attribute(input.substr(start, start_size), ignores.attribute) +
               input.substr(start + start_size);
    case ignored_part::kind::element:
        return joined(input.substr(0, start),
                      input.substr(std::max(end + end_size, start + start_size)));
    case ignored_part::kind::element_tags:
        if (end_size == 0) {
            return joined(input.substr(0, start), input.substr(start + start_size));
        }
        return joined(joined(input.substr(0, start),
                             input.substr(start + start_size, end - start - start_size)),
                      input.substr(end + end_size));
    case ignored_part::kind::none:
        break;
    }
    return input;
}

bool lies_inside(const ignored_part& ignores, std::size_t size) {
    return ignores.start_tag >= 0 && ignores.start_tag_size > 0 &&
           static_cast<std::size_t>(ignores.start_tag + ignores.start_tag_size) <= size &&
           (ignores.what == ignored_part::kind::attribute ||
            (ignores.end_tag >= ignores.start_tag &&
             static_cast<std::size_t>(ignores.end_tag + ignores.end_tag_size) <= size));
}

// Every part that a warning calls ignored can go without changing the record.
void check_ignored_parts(const std::string& input, const outcome& whole) {
    if (!offsets_cut_markup(input)) {
        return;
    }
    structure_checker checker;
    const outcome observed = run([&](settings_record& record) {
        read_settings_bytes(input.data(), input.size(), 0, record, &checker);
    });
    compare(whole, observed, input.size());
    for (const settings_warning& warning : checker.warnings()) {
        if (warning.ignores.what == ignored_part::kind::none) {
            continue;
        }
        if (!lies_inside(warning.ignores, input.size())) {
            std::fprintf(stderr,
                         "settings reader fuzzer: warning at %u:%u (%s) names bytes "
                         "outside the input\n",
                         warning.line, warning.column, warning.kind.c_str());
            std::abort();
        }
        const outcome reduced = read_in_pieces(without(input, warning.ignores), 0);
        if (reduced.how != outcome::loaded || !same_record(whole.record, reduced.record)) {
            std::fprintf(stderr, "settings reader fuzzer: %u:%u %s: %s\n", warning.line,
                         warning.column, warning.kind.c_str(), warning.message.c_str());
            finding("taking out what a warning calls ignored changes the record", whole, reduced);
        }
    }
}

} // namespace

void check_settings_input(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const outcome from_file = run([&](settings_record& record) { read_settings(path, record); });
    const outcome whole = read_in_pieces(input, 0);
    compare(from_file, whole, size);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
        // One byte at a time only for small inputs: Expat before 2.6 parses a token again
        // for each piece it arrives in.
        if (piece < size && (piece > 1 || size < 8192)) {
            compare(whole, read_in_pieces(input, piece), size);
        }
    }
    if (whole.how == outcome::loaded) {
        check_ignored_parts(input, whole);
    }
}
