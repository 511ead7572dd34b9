// Reading settings files: the document's vocabulary, its surprises, and the two failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <list>
#include <optional>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/last_error.h"
#include "process/load_settings.h"
#include "settings/exceptions.h"
#include "settings/variable_expansion.h"
#include "test_support.h"

namespace {

using orvo_test::temp_dir;
using orvo_test::write_file;
using strings = std::list<std::string>;

const char root_message[] = "only \"setting\" could exist at root";

// The record's single-valued text fields, in the record's order.
struct text_fields {
    std::string stdout_path, stderr_path, dll_path, class_path, class_name, start_method,
        stop_method;
};

void expect_fields(const settings_record& record, const text_fields& expected) {
    EXPECT_EQ(stdout_log(record), expected.stdout_path);
    EXPECT_EQ(stderr_log(record), expected.stderr_path);
    EXPECT_EQ(record.dll_path, expected.dll_path);
    EXPECT_EQ(record.class_path, expected.class_path);
    EXPECT_EQ(record.class_name, expected.class_name);
    EXPECT_EQ(record.start_method, expected.start_method);
    EXPECT_EQ(record.stop_method, expected.stop_method);
}

class LoadSettings : public ::testing::Test {
  protected:
    // Loads `document` from a file into `record`.
    void load(const std::string& document) {
        write_file(dir / "settings.xml", document);
        load_settings(dir / "settings.xml", record);
    }
    MXML::SyntaxException syntax_error(const std::string& document) {
        try {
            load(document);
        } catch (const MXML::SyntaxException& error) {
            return error;
        }
        ADD_FAILURE() << "no syntax error";
        return MXML::SyntaxException(XML_ERROR_NONE, 0, 0, 0);
    }

    temp_dir dir;
    settings_record record;
};

TEST_F(LoadSettings, CompleteDocumentFillsEveryField) {
    load("<?xml version='1.0' encoding='UTF-8'?>\n"
         "<setting>\n"
         "  <log stdout='D:\\svc\\logs\\stdout.log' stderr='D:\\svc\\logs\\stderr.log'/>\n"
         "  <jvm dll_path='D:\\jre\\bin\\server\\jvm.dll' class_path='D:\\svc\\classes'>\n"
         "    <option>-Xms64m</option>\n"
         "    <option>-Xmx512m</option>\n"
         "    <option>-Dapp.home=D:\\svc</option>\n"
         "  </jvm>\n"
         "  <server class='app/ServerMain' start_method='start' stop_method='stop'>\n"
         "    <start_method_param>-config</start_method_param>\n"
         "    <start_method_param>D:\\svc\\conf\\server.xml</start_method_param>\n"
         "  </server>\n"
         "</setting>\n");
    expect_fields(record, {"D:\\svc\\logs\\stdout.log", "D:\\svc\\logs\\stderr.log",
                           "D:\\jre\\bin\\server\\jvm.dll", "D:\\svc\\classes", "app/ServerMain",
                           "start", "stop"});
    EXPECT_EQ(record.options, (strings{"-Xms64m", "-Xmx512m", "-Dapp.home=D:\\svc",
                                       "-Djava.class.path=D:\\svc\\classes;"}));
    EXPECT_EQ(record.start_method_params, (strings{"-config", "D:\\svc\\conf\\server.xml"}));
}

TEST_F(LoadSettings, WrongRootRaisesLoadExceptionBeforeAnyFieldIsWritten) {
    for (const std::string root : {"Setting", "settings", "settin", "x:setting", "log"}) {
        SCOPED_TRACE(root);
        settings_record fresh;
        write_file(dir / "wrong.xml", "<" + root + "><log stdout='a'/></" + root + ">");
        try {
            load_settings(dir / "wrong.xml", fresh);
            ADD_FAILURE() << "no exception";
        } catch (const load_exception& error) {
            EXPECT_STREQ(error.what(), root_message);
        }
        EXPECT_EQ(stdout_log(fresh), "");
        EXPECT_TRUE(fresh.options.empty());
    }
}

TEST_F(LoadSettings, WrongRootWinsOverLaterSyntaxErrors) {
    EXPECT_THROW(load("<bad><unclosed></bad>"), load_exception);
}

// The nested setting's end tag ends the settings; what follows is refused where it stands,
// saying why. At the end of the root, a nested setting changes nothing.
TEST_F(LoadSettings, NestedSettingEndsTheRootAndNothingChangesAfterTheFailure) {
    try {
        load("<setting><setting></setting>\n <log stdout='late'/><jvm dll_path='x'/></setting>");
        ADD_FAILURE() << "no exception";
    } catch (const load_exception& error) {
        EXPECT_STREQ(error.what(), "\"log\" follows the end tag of a \"setting\" nested in the "
                                   "root \"setting\" (line 1, column 18), where the settings "
                                   "ended: remove the nested \"setting\"");
        EXPECT_EQ(error.line, 2u);
        EXPECT_EQ(error.column, 1u);
    }
    EXPECT_EQ(stdout_log(record), "");
    EXPECT_EQ(record.dll_path, "");
    settings_record fresh;
    write_file(dir / "nested.xml",
               "<setting><log stdout='a'/><setting><jvm dll_path='x'/></setting></setting>");
    load_settings(dir / "nested.xml", fresh);
    EXPECT_EQ(stdout_log(fresh), "a");
    EXPECT_EQ(fresh.dll_path, "x");
}

TEST_F(LoadSettings, RepeatedElementsOverwriteAttributesAndAccumulateEntries) {
    load("<setting>"
         "<log stdout='one' stderr='two'/><log stdout='three'/>"
         "<jvm dll_path='a.dll' class_path='x'><option>1</option></jvm>"
         "<jvm dll_path='b.dll'><option>2</option></jvm>"
         "<server class='A' start_method='s' stop_method='t' start_timeout='5' stop_timeout='6'>"
         "<start_method_param>p</start_method_param></server>"
         "<server class='B' stop_timeout='7'><start_method_param>q</start_method_param></server>"
         "</setting>");
    expect_fields(record, {"three", "", "b.dll", "", "B", "", ""});
    EXPECT_EQ(record.options, (strings{"1", "2"})); // no class path left, so no option
    EXPECT_EQ(record.start_method_params, (strings{"p", "q"}));
    EXPECT_EQ(record.start_timeout, std::nullopt);
    EXPECT_EQ(record.stop_timeout, 7u);
}

// The time limits of "server": what loads, and what stops the load with the value named.
TEST_F(LoadSettings, TimeLimitsAreWholeMillisecondsFromOneToTheLargestInt32) {
    using limit = std::optional<std::uint32_t>;
    const struct {
        std::string attributes;
        limit start, stop;
    } good[] = {
        {"start_timeout='1' stop_timeout='2147483647'", 1u, 2147483647u},
        {"start_timeout='60000'", 60000u, std::nullopt},
        {"start_timeout='' stop_timeout='0100'", std::nullopt, 100u},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto& row : good) {
        SCOPED_TRACE(row.attributes);
        settings_record fresh;
        write_file(dir / "good.xml",
                   "<setting><server class='C' " + row.attributes + "/></setting>");
        load_settings(dir / "good.xml", fresh);
        EXPECT_EQ(fresh.start_timeout, row.start);
        EXPECT_EQ(fresh.stop_timeout, row.stop);
        EXPECT_EQ(fresh.class_name, "C");
    }
    for (const std::string attribute : {"start_timeout", "stop_timeout"}) {
        for (const std::string value : {"0", "-1", "+5", " 5", "5 ", "2147483648",
                                        "99999999999999999999", "1e3", "abc", "5&#10;"}) {
            SCOPED_TRACE(attribute + "=" + value);
            settings_record fresh;
            write_file(dir / "bad.xml", "<setting>\n <server class='kept'/>\n  <server class='C' " +
                                            attribute + "='" + value +
                                            "'/><log stdout='late'/></setting>");
            try {
                load_settings(dir / "bad.xml", fresh);
                ADD_FAILURE() << "no exception";
            } catch (const load_exception& error) {
                const std::string shown = value == "5&#10;" ? "5\\n" : value;
                EXPECT_EQ(error.what(), "the attribute \"" + attribute +
                                            "\" of \"server\" must be a whole number of "
                                            "milliseconds from 1 to 2147483647, not \"" +
                                            shown + "\"");
                EXPECT_EQ(error.line, 3u);
                EXPECT_EQ(error.column, 2u);
            }
            // The rejected element changes nothing, and nothing after it is read.
            EXPECT_EQ(fresh.class_name, "kept");
            EXPECT_EQ(stdout_log(fresh), "");
        }
    }
}

// Rotation: sizes with an optional upper-case unit from 1K to 1024G, "true" or "false", a
// count from 1 to 10000; an absent attribute is none, an empty or any other value an error
// at the "log" element, which then changes nothing.
TEST_F(LoadSettings, RotationAttributesAreReadExactlyOrRefusedWithTheirPosition) {
    using size = std::optional<std::uint64_t>;
    using count = std::optional<std::uint32_t>;
    const struct {
        std::string attributes;
        size max_size;
        bool daily;
        count max_files;
    } good[] = {
        {"max_size='1K' daily='true' max_files='1'", 1024u, true, 1u},
        {"max_size='1024'", 1024u, false, std::nullopt},
        {"max_size='0010M' max_files='10000'", 10u << 20, false, 10000u},
        {"max_size='1024G' daily='false'", std::uint64_t{1} << 40, false, std::nullopt},
        {"max_size='1099511627776'", std::uint64_t{1} << 40, false, std::nullopt},
        {"daily='true'", std::nullopt, true, std::nullopt},
        {"", std::nullopt, false, std::nullopt},
    };
    for (const auto& row : good) {
        SCOPED_TRACE(row.attributes);
        settings_record fresh;
        write_file(dir / "good.xml", "<setting><log stdout='o' max_size='9K' daily='true' "
                                     "max_files='3'/><log stdout='o' " +
                                         row.attributes + "/></setting>");
        load_settings(dir / "good.xml", fresh);
        EXPECT_EQ(fresh.max_size, row.max_size);
        EXPECT_EQ(fresh.daily, row.daily);
        EXPECT_EQ(fresh.max_files, row.max_files);
    }
    const std::string size_rule = "a size from 1K to 1024G: digits, optionally followed by K, M "
                                  "or G";
    // clang-format off
    const struct {
        const char* attribute;
        const char* value;
        std::string rule;
    } bad[] = {
        {"max_size", "", size_rule}, {"max_size", "1k", size_rule}, {"max_size", "10m", size_rule},
        {"max_size", "1023", size_rule}, {"max_size", "0K", size_rule}, {"max_size", "1025G", size_rule},
        {"max_size", "1048577M", size_rule}, {"max_size", "1099511627777", size_rule},
        {"max_size", "99999999999999999999999G", size_rule}, {"max_size", "1T", size_rule},
        {"max_size", "+1M", size_rule}, {"max_size", "1 M", size_rule}, {"max_size", " 1M", size_rule},
        {"max_size", "1.5M", size_rule}, {"max_size", "M", size_rule}, {"max_size", "1MB", size_rule},
        {"daily", "", "\"true\" or \"false\""}, {"daily", "yes", "\"true\" or \"false\""},
        {"daily", "True", "\"true\" or \"false\""}, {"daily", "1", "\"true\" or \"false\""},
        {"max_files", "", "a whole number from 1 to 10000"}, {"max_files", "0", "a whole number from 1 to 10000"},
        {"max_files", "10001", "a whole number from 1 to 10000"}, {"max_files", "-1", "a whole number from 1 to 10000"},
        {"max_files", "5&#10;", "a whole number from 1 to 10000"},
    };
    // clang-format on
    for (const auto& row : bad) {
        SCOPED_TRACE(std::string(row.attribute) + "=" + row.value);
        settings_record fresh;
        write_file(dir / "bad.xml", std::string("<setting>\n <log stdout='kept'/>\n  <log ") +
                                        row.attribute + "='" + row.value +
                                        "' stdout='new'/><server class='late'/></setting>");
        try {
            load_settings(dir / "bad.xml", fresh);
            ADD_FAILURE() << "no exception";
        } catch (const load_exception& error) {
            const std::string shown = std::string(row.value) == "5&#10;" ? "5\\n" : row.value;
            EXPECT_EQ(error.what(), std::string("the attribute \"") + row.attribute +
                                        "\" of \"log\" must be " + row.rule + ", not \"" + shown +
                                        "\"");
            EXPECT_EQ(error.line, 3u);
            EXPECT_EQ(error.column, 2u);
        }
        EXPECT_EQ(stdout_log(fresh), "kept");
        EXPECT_EQ(fresh.max_size, std::nullopt);
        EXPECT_EQ(fresh.class_name, "");
    }
}

// process: a later element replaces the working directory (one without the attribute
// sets it empty), env elements add up across elements in document order, and an env
// outside process is ignored like any element out of place.
TEST_F(LoadSettings, ProcessElementsGiveTheWorkingDirectoryAndEveryEnvInOrder) {
    load("<setting><env name='OUT' value='side'/>"
         "<process working_directory='first'><env name='A' value='1'/><env name='PATH' "
         "value='x;${PATH}'/></process>"
         "<server><env name='NO' value='x'/></server>"
         "<process><env name='A'/><env name='a' value='$$'/></process></setting>");
    EXPECT_EQ(record.working_directory, "");
    const std::list<env_variable> expected = {
        {"A", "1"}, {"PATH", "x;${PATH}"}, {"A", ""}, {"a", "$$"}};
    ASSERT_EQ(record.env.size(), expected.size());
    auto got = record.env.begin();
    for (const env_variable& want : expected) {
        EXPECT_EQ(got->name, want.name);
        EXPECT_EQ(got->value, want.value);
        ++got;
    }
    load("<setting><process working_directory='.'/></setting>");
    EXPECT_EQ(record.working_directory, ".");
}

// A variable's name must be one the system can hold: the error points at the element.
TEST_F(LoadSettings, AnEnvNameThatIsEmptyOrHoldsAnEqualsSignIsALoadError) {
    for (const std::string attributes :
         {"value='x'", "name='' value='x'", "name='A=B'", "name='=A'"}) {
        SCOPED_TRACE(attributes);
        settings_record fresh;
        write_file(dir / "bad.xml",
                   "<setting>\n <process>\n  <env " + attributes + "/></process></setting>");
        try {
            load_settings(dir / "bad.xml", fresh);
            ADD_FAILURE() << "no exception";
        } catch (const load_exception& error) {
            EXPECT_EQ(std::string(error.what())
                          .rfind("the attribute \"name\" of \"env\" must "
                                 "name a variable, neither empty nor "
                                 "holding \"=\", not \"",
                                 0),
                      0u)
                << error.what();
            EXPECT_EQ(error.line, 3u);
            EXPECT_EQ(error.column, 2u);
        }
        EXPECT_TRUE(fresh.env.empty());
    }
}

TEST(ExpandVariables, ReferencesAreReplacedAndEverythingElseKept) {
    const auto lookup = [](const std::string& name) {
        EXPECT_EQ(name.find('='), std::string::npos) << "looked up " << name;
        return name == "A" ? std::string("alpha") : name == "PATH" ? "/bin" : "";
    };
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"plain", "plain"},
        {"${A}", "alpha"},
        {"${A}${A}", "alphaalpha"},
        {"x;${PATH}", "x;/bin"},
        {"${UNSET}", ""},
        {"$$", "$"},
        {"$$$", "$$"},
        {"$${A}", "${A}"},
        {"$A", "$A"},
        {"${}", "${}"},
        {"${A", "${A"},
        {"a$", "a$"},
        {"${A}b$$c${", "alphab$c${"},
        // No variable's name holds "=": a reference that would, stays as written, rather
        // than match a variable A whose value begins with "x=".
        {"${A=x}", "${A=x}"},
        {"${=}${A}", "${=}alpha"},
    };
    for (const auto& [value, expanded] : rows) {
        EXPECT_EQ(expand_variables(value, lookup), expanded) << value;
    }
}

TEST_F(LoadSettings, ElementsOutOfPlaceAreIgnored) {
    load("<setting><option>a</option><start_method_param>b</start_method_param>"
         "<jvm><start_method_param>c</start_method_param><log stdout='no'/></jvm>"
         "<server><option>d</option><jvm dll_path='no'/></server>"
         "<other><log stdout='no'/></other><LOG stdout='no'/>"
         "<log stdout='yes' unknown='no'><jvm dll_path='no'/></log></setting>");
    EXPECT_EQ(stdout_log(record), "yes");
    EXPECT_EQ(record.dll_path, "");
    EXPECT_TRUE(record.options.empty());
    EXPECT_TRUE(record.start_method_params.empty());
}

TEST_F(LoadSettings, EntryTextIsTakenVerbatim) {
    load("<setting><jvm>\n"
         "  <option>\n"
         "    -Xmx1g\n"
         "  </option>\n"
         "  <option/><option></option>\n"
         "  <option>a&amp;b&#x20AC;<![CDATA[<c>]]><!-- no -->d<?pi no?></option>\n"
         "  <option>-Da=<child>x</child>y</option>\n"
         "  <option>outer<option>inner</option>rest</option>\n"
         "</jvm></setting>");
    EXPECT_EQ(record.options,
              (strings{"\n    -Xmx1g\n  ", "", "", "a&b\xE2\x82\xAC<c>d", "-Da=xy", "outerinner"}));
}

TEST_F(LoadSettings, LoadAddsToWhatTheRecordHolds) {
    record.options.push_back("kept");
    record.class_name = "kept";
    load("<setting><jvm><option>new</option></jvm></setting>");
    EXPECT_EQ(record.options, (strings{"kept", "new"}));
    EXPECT_EQ(record.class_name, "kept");
}

TEST_F(LoadSettings, ClassPathOptionFollowsTheFilesOwnOptions) {
    load("<setting><jvm class_path=';;'><option>-Djava.class.path=mine</option></jvm></setting>");
    EXPECT_EQ(record.options, (strings{"-Djava.class.path=mine", "-Djava.class.path="}));
}

TEST_F(LoadSettings, EmptyClassPathAddsNoOption) {
    load("<setting><jvm class_path=''><option>o</option></jvm></setting>");
    EXPECT_EQ(record.options, (strings{"o"}));
}

TEST_F(LoadSettings, FilesOfWholeBufferSizesLoad) {
    for (const std::size_t size : {4095u, 4096u, 4097u, 8192u}) {
        SCOPED_TRACE(size);
        const std::string head = "<setting><jvm><option>";
        const std::string tail = "</option></jvm></setting>";
        settings_record fresh;
        write_file(dir / "sized.xml",
                   head + std::string(size - head.size() - tail.size(), 'x') + tail);
        load_settings(dir / "sized.xml", fresh);
        ASSERT_EQ(fresh.options.size(), 1u);
        EXPECT_EQ(fresh.options.front().size(), size - head.size() - tail.size());
    }
}

// What the linked Expat reports as the position of an empty final parse: -1 in older
// releases, 0 in those carrying the fix for large-token parsing. The loader passes on
// whichever it is.
std::int32_t byte_index_of_empty_document() {
    const XML_Parser parser = XML_ParserCreate(nullptr);
    XML_Parse(parser, "", 0, XML_TRUE);
    const auto index = static_cast<std::int32_t>(XML_GetCurrentByteIndex(parser));
    XML_ParserFree(parser);
    return index;
}

TEST_F(LoadSettings, EmptyFileIsASyntaxErrorWithoutElements) {
    const std::int32_t empty_index = byte_index_of_empty_document();
    EXPECT_LE(empty_index, 0);
    write_file(dir / "empty.xml", "");
    try {
        load_settings(dir / "empty.xml", record);
        ADD_FAILURE() << "no exception";
    } catch (const MXML::SyntaxException& error) {
        EXPECT_EQ(error.error_code, XML_ERROR_NO_ELEMENTS);
        EXPECT_EQ(error.byte_index, empty_index);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(error.column, 0u);
        EXPECT_STREQ(error.what(), "");
    }
}

// A path that names no readable file is said to be so, with the system's reason.
TEST_F(LoadSettings, AFileThatCannotBeReadGivesTheSystemsReason) {
#ifdef _WIN32
    const std::uint32_t missing = 2;  // ERROR_FILE_NOT_FOUND
    const std::uint32_t folder = 267; // ERROR_DIRECTORY, in orvo's own words
    const std::string folder_reason = "it is a folder, not a file";
#else
    const std::uint32_t missing = ENOENT;
    const std::uint32_t folder = EISDIR;
    const std::string folder_reason = platform::error_text(EISDIR);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
#endif
    const struct {
        std::string path;
        std::uint32_t code;
        std::string reason;
    } rows[] = {
        {dir / "missing.xml", missing, platform::error_text(missing)},
        {dir.path().string(), folder, folder_reason},
#ifndef _WIN32
        {dir / "pipe", 0, "it is a named pipe, which is not waited on"},
#endif
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        try {
            load_settings(row.path, record);
            ADD_FAILURE() << "no exception";
        } catch (const settings_file_error& error) {
            EXPECT_EQ(error.system_code, row.code);
            EXPECT_EQ(error.what(), row.reason);
        }
    }
}

TEST_F(LoadSettings, ContentAfterTheRootIsASyntaxErrorAndKeepsEarlierFields) {
    const auto error = syntax_error("<setting><log stdout='s'/><jvm class_path='c'/></setting>\n"
                                    "<setting/>");
    EXPECT_EQ(error.error_code, XML_ERROR_JUNK_AFTER_DOC_ELEMENT);
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(error.column, 0u);
    EXPECT_EQ(error.byte_index, 58);
    EXPECT_EQ(stdout_log(record), "s");
    EXPECT_TRUE(record.options.empty()); // no class-path option after a failure
}

TEST_F(LoadSettings, SyntaxErrorPositionIsTheFirstError) {
    const auto error = syntax_error("<setting>\n  <log stdout='a' stdout='b'/>\n</setting>");
    EXPECT_EQ(error.error_code, XML_ERROR_DUPLICATE_ATTRIBUTE);
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(error.column, 18u);
}

TEST_F(LoadSettings, DocumentEncodingDecidesAndTextIsStoredAsUtf8) {
    load("<?xml version='1.0' encoding='ISO-8859-1'?><setting><server class='\xE9'/></setting>");
    EXPECT_EQ(record.class_name, "\xC3\xA9");

    // UTF-16LE with a byte-order mark.
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("<setting><server class='k'/></setting>")) {
        utf16 += c;
        utf16 += '\0';
    }
    load(utf16);
    EXPECT_EQ(record.class_name, "k");

    EXPECT_EQ(syntax_error("<?xml version='1.0' encoding='KOI8-R'?><setting/>").error_code,
              XML_ERROR_UNKNOWN_ENCODING);
}

TEST(SyntaxException, CopiesCarryTheFields) {
    const MXML::SyntaxException original(XML_ERROR_SYNTAX, 7, 3, 4);
    const MXML::SyntaxException copy =
        original; // NOLINT(performance-unnecessary-copy-initialization)
    EXPECT_EQ(copy.error_code, XML_ERROR_SYNTAX);
    EXPECT_EQ(copy.byte_index, 7);
    EXPECT_EQ(copy.line, 3u);
    EXPECT_EQ(copy.column, 4u);
    EXPECT_STREQ(copy.what(), "");
    const std::domain_error& base = copy;
    EXPECT_STREQ(base.what(), "");
}

} // namespace
