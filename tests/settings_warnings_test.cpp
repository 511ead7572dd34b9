// The traps orvo-check warns about: one table of files and the warnings each gives, at which
// line and column, of which kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "process/load_settings.h"
#include "settings/exceptions.h"
#include "tests/test_support.h"
#include "tools/settings_check/settings_warnings.h"

namespace {

using namespace orvo_test;

struct expected_warning {
    std::uint32_t line;
    std::uint32_t column;
    std::string kind;
};

std::string shown(const std::vector<settings_warning>& warnings) {
    std::ostringstream text;
    for (const settings_warning& warning : warnings) {
        text << warning.line << ':' << warning.column << ' ' << warning.kind << ": "
             << warning.message << '\n';
    }
    return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

#ifdef _WIN32
const char relative_consequence[] = "C:\\Windows\\System32";
// The source tree is a Unix path; Wine shows the Unix root as drive Z:.
std::string source_dir() {
    return std::string("Z:") + ORVO_SOURCE_DIR;
}
#else
const char relative_consequence[] = "WorkingDirectory=";
std::string source_dir() {
    return ORVO_SOURCE_DIR;
}
#endif

// The test's folder: lib/ with a .jar, empty/ with only A.JAR, logs/, and conf/, where the
// settings file is written. It is the current folder while a test runs, so a relative path
// that is not resolved against a working directory is found there.
class SettingsWarnings : public ::testing::Test {
  protected:
    SettingsWarnings() : cwd_(dir.path()) {
        for (const char* folder : {"lib", "empty", "logs", "conf"}) {
            fs::create_directory(dir / folder);
        }
        write_file(dir / "lib/a.jar", "");
        write_file(dir / "empty/A.JAR", "");
    }

    // The file: "<setting>" on line 1, the body from line 2, "</setting>". In the body "@"
    // stands for the test's folder, and the lines LOG, JVM and SERVER for elements that
    // give no warning.
    std::vector<settings_warning> check(const std::string& body) {
        std::string text = "\n" + body + "\n";
        const std::string root = dir.path().generic_string();
        text = replaced(text, "\nLOG\n",
                        "\n  <log stdout='@/logs/out.log' stderr='@/logs/err.log'/>\n");
        text = replaced(text, "\nJVM\n",
                        "\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/lib/*'/>\n");
        text = replaced(text, "\nSERVER\n",
                        "\n  <server class='a/B' start_method='start' stop_method='stop' "
                        "start_timeout='1000' stop_timeout='1000'/>\n");
        write_file(settings_path, "<setting>" + replaced(text, "@", root) + "</setting>\n");
        return settings_warnings(settings_path);
    }

    temp_dir dir;
    const std::string settings_path = dir / "conf/settings.xml";

  private:
    current_directory cwd_;
};

TEST_F(SettingsWarnings, EachTrapAtItsElement) {
    // clang-format off
    const struct {
        const char* name;
        std::string body;
        std::vector<expected_warning> expected;
        std::string message_part = ""; // in one of the warnings' messages
        std::vector<expected_warning> also_on_windows = {};
    } rows[] = {
        {"no trap", "LOG\nJVM\nSERVER", {}},

        {"unknown element, case", "  <Log stdout='@/logs/out.log'/>\nLOG\nJVM\nSERVER", {{2, 2, "unknown_element"}}, "did you mean \"log\"?"},
        {"unknown element, far from every name", "  <group/>\nLOG\nJVM\nSERVER", {{2, 2, "unknown_element"}}, "\"setting\" holds \"log\", \"jvm\""},
        {"unknown element whose content is read", "  <group>\nLOG\n  </group>\nJVM\nSERVER", {{2, 2, "unknown_element"}}, "the tags of unknown element \"group\" are ignored, but what it holds is read as if it stood directly in \"setting\""},
        {"known element out of place whose content is read", "LOG\nJVM\n  <server class='a/B' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'>\n    <jvm><start_method_param>x</start_method_param></jvm>\n  </server>", {{5, 4, "misplaced_element"}}, "the tags of \"jvm\" are ignored (orvo reads it only inside \"setting\"), but what it holds is read as if it stood directly in \"server\""},
        {"an element inside an element that opens nothing", "LOG\nJVM\nSERVER\n  <process>\n    <env name='A' value='1'><env name='B' value='2'/></env>\n  </process>", {{6, 28, "misplaced_element"}}, "\"env\" inside \"env\" is read as if it stood directly in \"process\""},
        {"an inner element of the same name ends the outer one", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <option>-Da=<option>x</option>y</option>\n  </jvm>\n  <log stdout='@/logs/out.log' stderr='@/logs/err.log'>\n    <log/><jvm/></log>\nSERVER", {{1, 0, "empty_field"}, {4, 16, "misplaced_element"}, {7, 4, "misplaced_element"}}, "what follows it up to \"</log>\" is read as if it stood in \"setting\""},
        {"a setting nested at the end of the root", "LOG\nJVM\nSERVER\n  <setting/>", {{5, 2, "misplaced_element"}}, "its end tag ends the settings"},
        {"unknown attribute, orvo's own word", "LOG\nJVM\n  <server class_name='a/B' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'/>", {{1, 0, "empty_field"}, {4, 2, "unknown_attribute"}}, "did you mean \"class\"?"},
        {"unknown attribute, case", "  <log stdOut='@/logs/out.log' stderr='@/logs/err.log'/>\nJVM\nSERVER", {{1, 0, "empty_field"}, {2, 2, "unknown_attribute"}}, "did you mean \"stdout\"?"},
        {"attribute of another element", "LOG\n  <jvm dll_path='@/jvm/libjvm.so' class='a/B'/>\nSERVER", {{3, 2, "unknown_attribute"}}, "is an attribute of \"server\""},
        {"option outside jvm, parameter outside server", "LOG\n  <option>-Xmx1m</option>\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <start_method_param>x</start_method_param>\n  </jvm>\nSERVER", {{3, 2, "misplaced_element"}, {5, 4, "misplaced_element"}}, "only inside \"jvm\""},
        {"element inside an option", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <option>-Da=<b>x</b>y</option>\n  </jvm>\nSERVER", {{4, 16, "misplaced_element"}}},
        {"text outside option and start_method_param", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>-Xmx1m</jvm>\n  <server class='a/B' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'>8080</server>", {{3, 2, "ignored_text"}, {4, 2, "ignored_text"}}},

        {"white space kept in an option and a parameter", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <option>\n      -Xmx1m\n    </option>\n  </jvm>\n  <server class='a/B' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'>\n    <start_method_param> 8080</start_method_param>\n  </server>", {{4, 4, "white_space"}, {9, 4, "white_space"}}, "<option>-Xmx1m</option>"},
        {"white space in paths and names, reported alone", "  <log stdout=' @/logs/out.log' stderr='@/logs/err.log&#10;'/>\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/lib/*; @/lib/a.jar'/>\n  <server class='a/B ' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'/>", {{2, 2, "white_space"}, {2, 2, "white_space"}, {3, 2, "white_space"}, {4, 2, "white_space"}}},

        {"class with dots", "LOG\nJVM\n  <server class='org.example.Server' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'/>", {{4, 2, "class_with_dots"}}, "write \"org/example/Server\""},
        {"class file", "LOG\nJVM\n  <server class='org/example/Server.class' start_method='start' stop_method='stop' start_timeout='1' stop_timeout='1'/>", {{4, 2, "class_file_name"}}, "write \"org/example/Server\""},
        {"empty fields at their element, missing ones at the root", "  <log stdout='' stderr='@/logs/err.log'/>\n  <jvm class_path='@/lib/*'/>", {{1, 0, "empty_field"}, {1, 0, "empty_field"}, {1, 0, "empty_field"}, {1, 0, "empty_field"}, {2, 2, "empty_field"}}, "there is no \"server\" element", {{1, 0, "no_time_limit"}, {1, 0, "no_time_limit"}}},
        {"a later log replaces both paths", "LOG\n  <log stdout='@/logs/out.log'/>\nJVM\nSERVER", {{1, 0, "empty_field"}}, "replaces every attribute"},

        {"empty option and launcher option", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <option/>\n    <option>-cp lib</option>\n    <option>-Xss1m</option>\n  </jvm>\nSERVER", {{4, 4, "empty_option"}, {5, 4, "launcher_option"}}},
        {"class path option beside class_path", "LOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/lib/*'>\n    <option>-Djava.class.path=x</option>\n  </jvm>\nSERVER", {{4, 4, "class_path_option"}}},
        {"class path option alone", "LOG\n  <jvm dll_path='@/jvm/libjvm.so'>\n    <option>-Djava.class.path=x</option>\n  </jvm>\nSERVER", {}},

        {"class path folders without jars", "LOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/nolib/*;@/empty/*;@/lib*'/>\nSERVER", {{3, 2, "class_path_no_jars"}, {3, 2, "class_path_no_jars"}, {3, 2, "class_path_no_jars"}}, "does not exist"},
        {"plain class path items", "LOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/lib/a.jar;@/lib;@/extra;@/lib/*.jar'/>\nSERVER", {{3, 2, "class_path_missing"}, {3, 2, "class_path_missing"}}},
        {"the same folder twice", "LOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/lib/*;;@/lib/../lib/*;@/lib/a.jar'/>\nSERVER", {{3, 2, "class_path_duplicate"}}},

        {"relative paths without a working directory", "  <process/>\n  <log stdout='logs/out.log' stderr='@/logs/err.log'/>\n  <jvm dll_path='jvm/libjvm.so' class_path='@/lib/*;lib/*'/>\nSERVER", {{3, 2, "relative_path"}, {4, 2, "relative_path"}, {4, 2, "relative_path"}}, relative_consequence},
        {"a library without a folder, whatever the working directory", "  <process working_directory='..'/>\nLOG\n  <jvm dll_path='libjvm.so'/>\nSERVER", {{4, 2, "relative_path"}}, "search order"},
        {"working directory relative to the settings file's folder", "  <process working_directory='..'/>\n  <log stdout='logs/out.log' stderr='logs/err.log'/>\n  <jvm dll_path='jvm/libjvm.so' class_path='lib/*'/>\nSERVER", {}},
        {"paths resolved against the working directory", "  <process working_directory='.'/>\nLOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='lib/*'/>\nSERVER", {{4, 2, "class_path_no_jars"}}},
        {"a later process without the attribute resets it", "  <process working_directory='..'/>\n  <process/>\n  <log stdout='logs/out.log' stderr='@/logs/err.log'/>\nJVM\nSERVER", {{4, 2, "relative_path"}}},
        {"working directory missing", "  <process working_directory='@/gone'/>\nLOG\nJVM\nSERVER", {{2, 2, "working_directory_missing"}}},

        {"log folder missing, log a folder", "  <log stdout='@/nologs/out.log' stderr='@/logs'/>\nJVM\nSERVER", {{2, 2, "log_folder_missing"}, {2, 2, "log_not_writable"}}},
        // "-" names no file: under systemd the journal, under the Windows service manager nowhere.
        {"logs left where orvo's own streams go", "  <log stdout='-' stderr='-'/>\nJVM\nSERVER", {}, "", {{2, 2, "log_left_alone"}, {2, 2, "log_left_alone"}}},

        {"env values taken as written", "LOG\nJVM\nSERVER\n  <process>\n    <env name='A' value='$$HOME;${PATH};$5'/>\n    <env name='B' value='$HOME/x'/>\n    <env name=' C' value='%PATH%;${D'/>\n    <env name='E' value='${A=x}'/>\n  </process>", {{7, 4, "env_not_expanded"}, {8, 4, "white_space"}, {8, 4, "env_not_expanded"}, {9, 4, "env_not_expanded"}}, "write \"${HOME}\""},
#ifndef _WIN32
        {"variables read only as a process starts", "LOG\nJVM\nSERVER\n  <process>\n    <env name='LD_LIBRARY_PATH' value='/opt/native'/>\n    <env name='LD_PRELOAD' value=''/>\n    <env name='MALLOC_ARENA_MAX' value='2'/>\n    <env name='_JAVA_SR_SIGNUM' value='40'/>\n    <env name='JAVA_TOOL_OPTIONS' value='-Xss1m'/>\n  </process>", {{6, 4, "env_read_at_start"}, {7, 4, "env_read_at_start"}, {8, 4, "env_read_at_start"}}, "-Djava.library.path=FOLDER"},
#endif

        {"rotation that keeps every rotated file", "  <log stdout='@/logs/out.log' stderr='@/logs/err.log' max_size='1M'/>\nJVM\nSERVER", {{2, 2, "rotation_keeps_all"}}, "the disk may still fill"},
        {"daily rotation that keeps every rotated file", "  <log stdout='@/logs/out.log' stderr='@/logs/err.log' daily='true'/>\nJVM\nSERVER", {{2, 2, "rotation_keeps_all"}}},
        {"a count of files without a rotation", "  <log stdout='@/logs/out.log' stderr='@/logs/err.log' daily='false' max_files='5'/>\nJVM\nSERVER", {{2, 2, "max_files_without_rotation"}}, "rotates nothing"},
        {"rotation with a count of files", "  <log stdout='@/logs/out.log' stderr='@/logs/err.log' daily='true' max_files='5'/>\nJVM\nSERVER", {}},

        {"no time limits: missing, and empty", "LOG\nJVM\n  <server class='a/B' start_method='start' stop_method='stop' stop_timeout=''/>", {}, "", {{1, 0, "no_time_limit"}, {4, 2, "no_time_limit"}}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<settings_warning> warnings = check(row.body);
        std::vector<expected_warning> expected = row.expected;
#ifdef _WIN32
        expected.insert(expected.end(), row.also_on_windows.begin(), row.also_on_windows.end());
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return a.line < b.line || (a.line == b.line && a.column < b.column);
        });
#endif
        bool same = warnings.size() == expected.size();
        for (std::size_t i = 0; same && i < expected.size(); ++i) {
            same = warnings[i].line == expected[i].line &&
                   warnings[i].column == expected[i].column && warnings[i].kind == expected[i].kind;
        }
        EXPECT_TRUE(same) << shown(warnings);
        EXPECT_TRUE(row.message_part.empty() ||
                    std::any_of(warnings.begin(), warnings.end(),
                                [&](const auto& warning) {
                                    return warning.message.find(row.message_part) !=
                                           std::string::npos;
                                }))
            << row.message_part << '\n'
            << shown(warnings);
    }
}

#ifndef _WIN32
// The Debian package's example gives no warning once its folders are in place: here the
// test's folder stands for the folders it names.
TEST_F(SettingsWarnings, ThePackagedExampleIsSilent) {
    const std::string root = dir.path().generic_string();
    std::string text = read_file(source_dir() + "/packaging/deb/hello.xml");
    ASSERT_FALSE(text.empty());
    text = replaced(text, "/usr/share/orvo/examples/hello-server", root);
    text = replaced(text, "/var/log/orvo/hello", root + "/logs");
    write_file(settings_path, text);
    EXPECT_EQ(shown(settings_warnings(settings_path)), "");
}
#endif

// The hello-server example works in its own folder (working_directory='.'), which holds
// lib/ and logs/: with those beside the settings file, it gives no warning.
TEST_F(SettingsWarnings, TheExampleThatWorksInItsOwnFolderIsSilent) {
#ifdef _WIN32
    const std::string file = "examples/hello-server/settings-windows.xml";
#else
    const std::string file = "examples/hello-server/settings.xml";
#endif
    fs::create_directories(dir / "conf/lib");
    fs::create_directories(dir / "conf/logs");
    write_file(dir / "conf/lib/hello-server.jar", "");
    write_file(settings_path, read_file(source_dir() + "/" + file));
    EXPECT_EQ(shown(settings_warnings(settings_path)), "") << file;
}

#ifndef _WIN32
// Only a user that the permissions bind can be refused; root writes anywhere.
TEST_F(SettingsWarnings, LogFolderThatThisUserMayNotWrite) {
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (std::ofstream(dir / "locked/probe").is_open()) {
        fs::permissions(dir / "locked", fs::perms::owner_all);
        GTEST_SKIP() << "this user may write in a folder without write permission";
    }
    const auto warnings =
        check("  <log stdout='@/locked/out.log' stderr='@/logs/err.log'/>\nJVM\nSERVER");
    fs::permissions(dir / "locked", fs::perms::owner_all);
    ASSERT_EQ(warnings.size(), 1u) << shown(warnings);
    EXPECT_EQ(warnings[0].kind, "log_not_writable");
    EXPECT_NE(warnings[0].message.find("the service's account may differ"), std::string::npos);
}
#endif

#ifndef _WIN32
// The names a folder's listing adds to the class path need not be UTF-8, as the settings'
// own are (the parser delivers them so): the Java VM reads the class path as text, and
// would not find such a file.
TEST_F(SettingsWarnings, AJarNameThatIsNotUtf8) {
    fs::create_directory(dir / "named");
    for (const char* name :
         {"caf\xe9.jar", "\xed\xa0\x80.jar", "caf\xc3\xa9.jar", "\xf0\x9f\x9a\x80.jar"}) {
        write_file(dir / "named/" + name, "");
    }
    std::vector<settings_warning> warnings =
        check("LOG\n  <jvm dll_path='@/jvm/libjvm.so' class_path='@/named/*'/>\nSERVER");
    std::sort(warnings.begin(), warnings.end(),
              [](const auto& a, const auto& b) { return a.message < b.message; });
    ASSERT_EQ(warnings.size(), 2u) << shown(warnings);
    for (const settings_warning& warning : warnings) {
        EXPECT_EQ(warning.kind, "path_not_utf8");
        EXPECT_EQ(warning.line, 3u);
    }
    EXPECT_NE(warnings[0].message.find("/named/\\xed\\xa0\\x80.jar\", whose name is not UTF-8"),
              std::string::npos)
        << warnings[0].message;
    EXPECT_NE(warnings[1].message.find("/named/caf\\xe9.jar\", whose name is not UTF-8"),
              std::string::npos)
        << warnings[1].message;
}
#endif

// A file that does not load: the warnings of the elements before its error, none about the
// document as a whole, none of the element that failed.
TEST_F(SettingsWarnings, BeforeALoadError) {
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } rows[] = {
        {"not well-formed", "<setting>\n  <Log/>\n  <option>x</option>\n  <log a='1' a='2'/>\n",
         "2:2 unknown_element\n3:2 misplaced_element\n"},
        {"a bad time limit",
         "<setting>\n  <Log/>\n  <server foo='x' start_timeout='0'/>\n</setting>",
         "2:2 unknown_element\n"},
        {"a wrong root", "<Setting>\n  <Log/>\n</Setting>", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        write_file(settings_path, row.text);
        settings_record record;
        EXPECT_THROW(load_settings(settings_path, record), std::domain_error);
        std::string found;
        for (const settings_warning& warning : settings_warnings(settings_path)) {
            found += std::to_string(warning.line) + ':' + std::to_string(warning.column) + ' ' +
                     warning.kind + '\n';
        }
        EXPECT_EQ(found, row.expected);
    }
}

} // namespace
