// What orvo-check shows for a record and for each kind of failure.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tools/orvo_check/record_report.h"
#include "tools/settings_check/load_report.h"

namespace {

using json = nlohmann::json;

settings_record sample_record() {
    settings_record record;
    stdout_log(record) = "out.log";
    stderr_log(record) = "err.log";
    record.dll_path = "jvm.dll";
    record.class_path = "lib/*";
    record.class_name = "org/example/Server";
    record.start_method = "start";
    record.stop_method = "stop";
    record.options = {"\n  -Xmx64m", "-Djava.class.path=lib/a.jar;"};
    record.start_method_params = {"", "caf\xC3\xA9"};
    record.start_timeout = 60000;
    return record;
}

TEST(Visible, ControlCharactersAreShownAndOtherBytesKept) {
    EXPECT_EQ(visible("\n\r\t-x"), "\\n\\r\\t-x");
    EXPECT_EQ(visible(std::string("a\0b\x1f\x7f", 5)), "a\\x00b\\x1f\\x7f");
    EXPECT_EQ(visible("caf\xC3\xA9 \\n"), "caf\xC3\xA9 \\n");
}

TEST(PrintRecord, EveryFieldAndEntryOnALineOfItsOwn) {
    std::ostringstream out;
    print_record(out, sample_record());
    EXPECT_EQ(out.str(), "stdout: out.log\n"
                         "stderr: err.log\n"
                         "dll_path: jvm.dll\n"
                         "class_path: lib/*\n"
                         "class_name: org/example/Server\n"
                         "start_method: start\n"
                         "stop_method: stop\n"
                         "options (2):\n"
                         "  [0] \\n  -Xmx64m\n"
                         "  [1] -Djava.class.path=lib/a.jar;\n"
                         "start_method_params (2):\n"
                         "  [0] \n"
                         "  [1] caf\xC3\xA9\n"
                         "start_timeout: 60000\n"
                         "stop_timeout: (none)\n"
                         "working_directory: (none)\n"
                         "env (0):\n");
}

// Each env element as it was set, and as written where the two differ; a value set empty
// removes the variable.
TEST(PrintRecord, TheWorkingDirectoryAndEachEnvElementAsSet) {
    settings_record record = sample_record();
    record.working_directory = ".";
    record.env = {{"A", "x"}, {"PATH", "native;${PATH}"}, {"GONE", ""}, {"T", "a\tb"}};
    std::ostringstream out;
    print_record(out, record, {"x", "native;/usr/bin", "", "a\tb"});
    const std::string text = out.str();
    EXPECT_EQ(text.substr(text.find("working_directory:")), "working_directory: .\n"
                                                            "env (4):\n"
                                                            "  [0] A=x\n"
                                                            "  [1] PATH=native;/usr/bin (as "
                                                            "written: native;${PATH})\n"
                                                            "  [2] GONE=\n"
                                                            "  [3] T=a\\tb\n");
    const auto object = json::parse(record_json(record, {"x", "native;/usr/bin", "", "a\tb"}));
    EXPECT_EQ(object["working_directory"], ".");
    EXPECT_EQ(object["env"][1], json::parse(R"({"name": "PATH", "value": "native;${PATH}",
                                                "expanded": "native;/usr/bin"})"));
    EXPECT_EQ(object["env"].size(), 4u);
}

TEST(RecordJson, KeysInOrderAndListsAsArrays) {
    const std::string text = record_json(sample_record());
    const auto object = json::parse(text);
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it) {
        keys.push_back(it.key());
    }
    // nlohmann::json sorts keys, so the order is checked on the text itself.
    std::string::size_type last = 0;
    for (const char* key :
         {"\"stdout\"", "\"stderr\"", "\"dll_path\"", "\"class_path\"", "\"class_name\"",
          "\"start_method\"", "\"stop_method\"", "\"options\"", "\"start_method_params\"",
          "\"start_timeout\"", "\"stop_timeout\"", "\"working_directory\"", "\"env\""}) {
        const auto at = text.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
    EXPECT_EQ(keys.size(), 13u);
    EXPECT_EQ(object["options"], json({"\n  -Xmx64m", "-Djava.class.path=lib/a.jar;"}));
    EXPECT_EQ(object["start_method_params"], json({"", "caf\xC3\xA9"}));
    EXPECT_EQ(object["stdout"], "out.log");
    EXPECT_EQ(object["start_timeout"], 60000);
    EXPECT_TRUE(object["stop_timeout"].is_null());
    EXPECT_TRUE(object["working_directory"].is_null());
    EXPECT_EQ(object["env"], json::array());
}

// Rotation is shown after the logs only when the settings name some, in bytes and files.
TEST(PrintRecord, RotationAfterTheLogsWhenThereIsAny) {
    settings_record record = sample_record();
    record.daily = true;
    record.max_files = 7;
    std::ostringstream out;
    print_record(out, record);
    EXPECT_EQ(out.str().substr(0, out.str().find("dll_path:")),
              "stdout: out.log\nstderr: err.log\nmax_size: (none)\ndaily: true\nmax_files: 7\n");
    record.max_size = 1073741824;
    const auto object = json::parse(record_json(record));
    EXPECT_EQ(object["max_size"], 1073741824);
    EXPECT_EQ(object["daily"], true);
    EXPECT_EQ(object["max_files"], 7);
    const std::string text = record_json(record);
    EXPECT_LT(text.find("\"stderr\""), text.find("\"max_size\""));
    EXPECT_LT(text.find("\"max_files\""), text.find("\"dll_path\""));
}

TEST(RecordJson, InvalidUtf8IsReplacedNotRefused) {
    settings_record record;
    record.options = {"-Djava.class.path=lib/\xFF\xFEx.jar;"};
    const auto object = json::parse(record_json(record));
    EXPECT_EQ(object["options"][0], "-Djava.class.path=lib/\xEF\xBF\xBD\xEF\xBF\xBDx.jar;");
}

TEST(FailureReports, CarryTheFieldsAndTheParsersMessage) {
    const MXML::SyntaxException syntax(XML_ERROR_TAG_MISMATCH, 42, 3, 7);
    std::ostringstream human;
    print_syntax_error(human, "dir/s.xml", syntax);
    EXPECT_EQ(human.str(), "dir/s.xml:3:7: error: mismatched tag\n");

    const auto object = json::parse(syntax_error_json(syntax));
    EXPECT_EQ(object, json::parse(R"({"error": "syntax", "error_code": 7, "byte_index": 42,
                                     "line": 3, "column": 7, "message": "mismatched tag"})"));

    const load_exception wrong_root("only \"setting\" could exist at root");
    std::ostringstream load;
    print_load_error(load, "s.xml", wrong_root);
    EXPECT_EQ(load.str(), "s.xml: error: only \"setting\" could exist at root\n");
    EXPECT_EQ(load_error_json(wrong_root),
              "{\n  \"error\": \"load\",\n  \"message\": \"only \\\"setting\\\" could exist at "
              "root\"\n}\n");

    // An error at an element also says where that element is.
    const load_exception at_element("bad value", 3, 2);
    std::ostringstream positioned;
    print_load_error(positioned, "s.xml", at_element);
    EXPECT_EQ(positioned.str(), "s.xml:3:2: error: bad value\n");
    EXPECT_EQ(json::parse(load_error_json(at_element)),
              json::parse(R"({"error": "load", "message": "bad value", "line": 3, "column": 2})"));
}

} // namespace
