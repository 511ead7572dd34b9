// The Java host against the real Java VM. Each case writes a settings file, runs the
// scenario program (or orvo-check) as a process of its own, since a process can create
// only one VM, and checks its exit status, the exact bytes it wrote to standard error and
// what the Java test classes recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "binary_samples.h"
#include "test_support.h"

namespace {

using orvo_test::read_file;
using orvo_test::temp_dir;
using orvo_test::write_file;
using strings = std::vector<std::string>;

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

// Every line of ours in `err`, each with its line end. The VM writes lines of its own in
// between: an exception still pending when a thread is detached (a missing class or stop
// method leaves one) is printed by the VM as the thread goes.
strings diagnostic_lines(const std::string& err) {
    strings lines;
    std::string::size_type start = 0;
    while (start < err.size()) {
        const std::string::size_type end = err.find('\n', start);
        const std::string line =
            err.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
        if (line.compare(0, 7, "error: ") == 0) {
            lines.push_back(line);
        }
        start = end == std::string::npos ? err.size() : end + 1;
    }
    return lines;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct outcome {
    int status = -1;  // the exit status; -1 when the process did not exit by itself
    std::string out;  // standard output
    std::string err;  // standard error, byte for byte
    std::string java; // what the Java classes recorded
};

class RealJvm : public ::testing::Test {
  protected:
    RealJvm() {
        // Log paths that orvo-check has nothing to warn about: its standard error then
        // holds only what the dry run says.
        settings.stdout_log = dir / "out.log";
        settings.stderr_log = dir / "err.log";
        settings.dll_path = ORVO_JVM_LIBRARY;
        settings.options = {"-Xmx64m", "-Djava.class.path=" ORVO_TEST_JAR,
                            "-Dorvotest.record=" + dir / "java.txt"};
        settings.class_name = "orvotest/BothStarts";
        settings.start_method = "start";
        settings.stop_method = "stop";
    }

    std::string settings_file() const {
        const std::string path = dir / "settings.xml";
        write_file(path, orvo_test::settings_xml(settings));
        return path;
    }

    // Runs `program` on the settings with `arguments`, JAVA_HOME set to java_home (unset
    // when empty). The time limit only guards against a hang, the fault some of these
    // cases look for.
    outcome run(const std::string& program, const strings& before, const strings& after) {
        const std::string& home = java_home;
        std::string command = "env -u JAVA_HOME ";
        if (!home.empty()) {
            command += "JAVA_HOME=" + quoted(home) + " ";
        }
        command += "timeout -k 10 60 " + quoted(program);
        for (const std::string& argument : before) {
            command += " " + quoted(argument);
        }
        command += " " + quoted(settings_file());
        for (const std::string& argument : after) {
            command += " " + quoted(argument);
        }
        command += " >" + quoted(dir / "out") + " 2>" + quoted(dir / "err");
        const int status = std::system(command.c_str());
        outcome result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = read_file(dir / "out");
        result.err = read_file(dir / "err");
        result.java = read_file(dir / "java.txt");
        return result;
    }
    outcome run_scenario(const strings& arguments = {}) {
        return run(ORVO_JVM_SCENARIO, {}, arguments);
    }
    outcome run_check() { return run(ORVO_CHECK, {"--jvm"}, {}); }

    temp_dir dir;
    orvo_test::settings_document settings;
    std::string java_home;
};

// --- The start variants and the parameters ---------------------------------------------

TEST_F(RealJvm, BothVariantsWithoutParametersCallTheArrayVariantWithAnEmptyArray) {
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.java, "start(String[]) 0\nstop()\n");
    EXPECT_EQ(result.out, "destroyed\n");
}

TEST_F(RealJvm, ParametersArriveAsTheSameCharacters) {
    settings.class_name = "orvotest/ArrayStart";
    settings.start_method = "begin";
    settings.stop_method = "end";
    settings.parameters = {"-port", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "", "\xF0\x9F\x98\x80!"};
    const outcome result = run_scenario({"--param-hex", "61f09f"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.java, "begin(String[]) 6\n"
                           "  [0] \"002d 0070 006f 0072 0074\"\n"
                           "  [1] \"00e9 0074 00e9\"\n"
                           "  [2] \"20ac\"\n"
                           "  [3] \"\"\n"
                           "  [4] \"d83d de00 0021\"\n"
                           "  [5] \"0061 fffd\"\n"
                           "end()\n");
}

TEST_F(RealJvm, ClassPathSettingReachesTheVmAsAPathList) {
    // Entries are separated by ";" in the settings on every system; the VM gets its own
    // separator, so the class is found through the second entry of a several-entry path.
    std::filesystem::create_directories(dir / "lib");
    std::filesystem::copy_file(ORVO_TEST_JAR, dir / "lib/classes.jar");
    settings.class_path = dir / "missing.jar;" + dir / "lib/*;" + dir / "classes";
    settings.options = {"-Xmx64m", "-Dorvotest.record=" + dir / "java.txt"};
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.java, "start(String[]) 0\nstop()\n");
}

TEST_F(RealJvm, OnlyThePlainVariantIsCalledWhenNoParametersAreConfigured) {
    settings.class_name = "orvotest/PlainStart";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.java, "start()\nstop()\n");
}

TEST_F(RealJvm, PlainVariantWithAParameterIsAMissingMethod) {
    settings.class_name = "orvotest/PlainStart";
    settings.parameters = {"x"};
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "error: method \"start\" not found.\r\n");
    EXPECT_EQ(result.java, "stop()\n");
    EXPECT_EQ(result.out, "destroyed\n");
}

TEST_F(RealJvm, InstanceOrOtherStartMethodsDoNotCount) {
    settings.class_name = "orvotest/NoStart";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "error: method \"start\" not found.\r\n");
    EXPECT_EQ(result.java, "stop()\n");
}

// --- Missing pieces and throwing methods: every road detaches the thread, or the VM's
// destruction from the other thread would never return ----------------------------------

TEST_F(RealJvm, MissingClassWritesTheClassLineOnStartAndOnStop) {
    settings.class_name = "orvotest/Missing";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    const std::string line = "error: class \"orvotest/Missing\" not found.\r\n";
    EXPECT_EQ(diagnostic_lines(result.err), (strings{line, line})) << result.err;
    EXPECT_EQ(result.err.compare(0, line.size(), line), 0) << result.err;
    EXPECT_TRUE(contains(result.err, "java.lang.NoClassDefFoundError: orvotest/Missing"));
    EXPECT_EQ(result.java, "");
    EXPECT_EQ(result.out, "destroyed\n");
}

TEST_F(RealJvm, ClassNameWithDotsReachesTheVmUnchanged) {
    settings.class_name = "orvotest.BothStarts";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    // The VM takes only slashes: what it refuses is the name as configured.
    const std::string line = "error: class \"orvotest.BothStarts\" not found.\r\n";
    EXPECT_EQ(diagnostic_lines(result.err), (strings{line, line})) << result.err;
    EXPECT_TRUE(contains(result.err, "java.lang.NoClassDefFoundError: orvotest.BothStarts"));
    EXPECT_EQ(result.java, "");
    EXPECT_EQ(result.out, "destroyed\n");
}

TEST_F(RealJvm, MissingStopMethodWritesTheMethodLineNamingIt) {
    settings.class_name = "orvotest/NoStop";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    const std::string line = "error: method \"stop\" not found.\r\n";
    EXPECT_EQ(diagnostic_lines(result.err), strings{line}) << result.err;
    EXPECT_EQ(result.err.compare(0, line.size(), line), 0) << result.err;
    EXPECT_TRUE(contains(result.err, "java.lang.NoSuchMethodError")) << result.err;
    EXPECT_EQ(result.java, "start(String[]) 0\n");
    EXPECT_EQ(result.out, "destroyed\n");
}

// The VM describes each exception; a throwing start is a failed start, and the host says
// so after the description, naming the exception's class as Java names it.
TEST_F(RealJvm, ThrowingMethodsArePrintedByTheVmAndAThrowingStartIsSaid) {
    settings.class_name = "orvotest/Throwing";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 0);
    const std::string described = "java.lang.IllegalStateException: start failed";
    const std::string line = "error: the start method \"start\" of \"orvotest/Throwing\" threw "
                             "java.lang.IllegalStateException.\r\n";
    EXPECT_TRUE(contains(result.err, described)) << result.err;
    EXPECT_TRUE(contains(result.err, "java.lang.IllegalStateException: stop failed")) << result.err;
    EXPECT_EQ(diagnostic_lines(result.err), strings{line}) << result.err;
    EXPECT_LT(result.err.find(described), result.err.find(line)) << result.err;
    EXPECT_EQ(result.java, "start(String[]) 0\nstop()\n");
    EXPECT_EQ(result.out, "destroyed\n");
}

// --- The VM that cannot be created -------------------------------------------------------

TEST_F(RealJvm, UnknownOptionIsRefused) {
    settings.options.push_back("-Xorvo-unknown");
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 3);
    // The VM says why first; the host's line follows, once, as the last bytes.
    const std::string line = "error: couldn't create JavaVM.\r\n";
    ASSERT_GE(result.err.size(), line.size());
    EXPECT_EQ(result.err.substr(result.err.size() - line.size()), line);
    EXPECT_EQ(result.err.find("error: "), result.err.size() - line.size()) << result.err;
    EXPECT_TRUE(contains(result.err, "-Xorvo-unknown")) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.java, "");
}

TEST_F(RealJvm, LibraryWithoutEntryPoint) {
    settings.dll_path = ORVO_NO_ENTRY_LIBRARY;
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "error: couldn't get function pointer.\r\n");
}

TEST_F(RealJvm, MissingLibrary) {
    settings.dll_path = dir / "libjvm.so";
    const outcome result = run_scenario();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "error: couldn't load jvm.dll.\r\n");
}

// --- The stop signals --------------------------------------------------------------------

TEST_F(RealJvm, OwnSignalHandlersSurviveTheVmsCreation) {
    const outcome result = run_scenario({"--own-signal-handlers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Terminated: own\nInterrupt: own\nHangup: own\n"
                          "SIGTERM reached own handler: 1\ndestroyed\n");
    EXPECT_EQ(result.java, "start(String[]) 0\nstop()\n");
}

TEST_F(RealJvm, WithoutHandlersOfItsOwnTheProcessKeepsTheVms) {
    const outcome result = run_scenario({"--report-signal-handlers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Terminated: other\nInterrupt: other\nHangup: other\ndestroyed\n");
}

// --- orvo-check --jvm ----------------------------------------------------------------------

TEST_F(RealJvm, CheckReportsTheVariantAndParametersWithoutCallingAnything) {
    settings.class_name = "orvotest/ArrayStart";
    settings.start_method = "begin";
    settings.stop_method = "end";
    settings.parameters = {"a", "b"};
    const outcome result = run_check();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string report = "jvm: created\n"
                               "class: orvotest/ArrayStart\n"
                               "start: begin([Ljava/lang/String;)V with 2 parameters\n"
                               "stop: end()V\n";
    ASSERT_GE(result.out.size(), report.size());
    EXPECT_EQ(result.out.substr(result.out.size() - report.size()), report) << result.out;
    EXPECT_EQ(result.java, "");
}

TEST_F(RealJvm, CheckNamesThePlainVariant) {
    settings.class_name = "orvotest/PlainStart";
    const outcome result = run_check();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\nstart: start()V\nstop: stop()V\n")) << result.out;
    EXPECT_EQ(result.java, "");
}

TEST_F(RealJvm, CheckFailsWithTheServicesLines) {
    struct broken {
        std::string class_name;
        strings parameters;
        std::string dll_path;
        std::string line;
    };
    const broken cases[] = {
        {"orvotest/Missing",
         {},
         ORVO_JVM_LIBRARY,
         "error: class \"orvotest/Missing\" not found.\r\n"},
        {"orvotest/PlainStart", {"x"}, ORVO_JVM_LIBRARY, "error: method \"start\" not found.\r\n"},
        {"orvotest/NoStop", {}, ORVO_JVM_LIBRARY, "error: method \"stop\" not found.\r\n"},
        {"orvotest/BothStarts", {}, "/nonexistent/libjvm.so", "error: couldn't load jvm.dll.\r\n"},
    };
    for (const broken& c : cases) {
        settings.class_name = c.class_name;
        settings.parameters = c.parameters;
        settings.dll_path = c.dll_path;
        const outcome result = run_check();
        EXPECT_EQ(result.status, 1) << c.line;
        EXPECT_EQ(diagnostic_lines(result.err), strings{c.line}) << result.err;
        EXPECT_EQ(result.err.compare(0, c.line.size(), c.line), 0) << result.err;
        EXPECT_EQ(result.java, "");
    }
}

TEST_F(RealJvm, CheckExplainsWhyTheLibraryCannotBeLoadedAndWhereOneIs) {
    // A runtime for JAVA_HOME to name, whose library is the real one.
    std::filesystem::create_directories(dir.path() / "jdk/lib/server");
    std::filesystem::create_symlink(ORVO_JVM_LIBRARY, dir / "jdk/lib/server/libjvm.so");
    java_home = dir / "jdk";
    write_file(dir / "x86.so", orvo_test::elf_header(32, 3, 3));
    write_file(dir / "notes.txt", "not a library\n");
    struct broken {
        std::string dll_path;
        std::string note;
    };
    const broken cases[] = {
        {dir / "x86.so", "the file is a 32-bit x86 ELF shared library; orvo loads only a 64-bit "
                         "x86 ELF shared library: name the lib/server/libjvm.so of a 64-bit x86 "
                         "JDK or JRE\n"},
        {dir / "notes.txt", "the file is not a library at all: neither a Windows DLL nor an ELF "
                            "shared library; orvo loads only"},
        {dir / "missing/libjvm.so", "there is no such file; name the lib/server/libjvm.so"},
    };
    for (const broken& c : cases) {
        settings.dll_path = c.dll_path;
        const outcome result = run_check();
        EXPECT_EQ(result.status, 1) << c.dll_path;
        const std::string line = "error: couldn't load jvm.dll.\r\n";
        EXPECT_EQ(result.err.compare(0, line.size(), line), 0) << result.err;
        // The system's own words first, dlerror()'s naming the file.
        const std::string note = c.dll_path + ": note: ";
        EXPECT_EQ(result.err.compare(line.size(), note.size() + 17 + c.dll_path.size(),
                                     note + "the system says: " + c.dll_path),
                  0)
            << result.err;
        EXPECT_TRUE(contains(result.err, "\n" + note + c.note)) << result.err;
        EXPECT_TRUE(contains(result.err, "\nnote: a Java VM library is at " +
                                             dir / "jdk/lib/server/libjvm.so (JAVA_HOME)\n"))
            << result.err;
    }
}

// What the VM prints to standard output while it is created goes to standard error: the
// standard output holds the document alone.
TEST_F(RealJvm, CheckInJsonHasTheSettingsAndTheOutcomeInOneDocument) {
    settings.options.push_back("-XX:+PrintCommandLineFlags");
    const outcome created = run(ORVO_CHECK, {"--json", "--jvm"}, {});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_TRUE(contains(created.err, "-XX:+PrintCommandLineFlags")) << created.err;
    settings.options.pop_back();
    const auto good = nlohmann::json::parse(created.out);
    EXPECT_EQ(good["dll_path"], ORVO_JVM_LIBRARY);
    EXPECT_EQ(good["jvm"], nlohmann::json::parse(R"({"passed": true, "result": "created",
        "class_found": true, "start_method": "([Ljava/lang/String;)V", "parameter_count": 0,
        "stop_found": true, "load_failure": null})"));

    write_file(dir / "x86.so", orvo_test::elf_header(32, 3, 3));
    settings.dll_path = dir / "x86.so";
    const outcome failed = run(ORVO_CHECK, {"--jvm", "--json"}, {});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "error: couldn't load jvm.dll.\r\n");
    const auto jvm = nlohmann::json::parse(failed.out)["jvm"];
    EXPECT_EQ(jvm["result"], "no_library");
    EXPECT_FALSE(jvm["passed"]);
    const auto& failure = jvm["load_failure"];
    EXPECT_EQ(failure["message"], dir / "x86.so" + ": file too short");
    EXPECT_EQ(failure["file"], "file");
    EXPECT_EQ(failure["format"], nlohmann::json::parse(R"({"family": "elf", "library": true,
        "machine": "32-bit x86", "bits": 32,
        "description": "a 32-bit x86 ELF shared library"})"));
    EXPECT_FALSE(failure["loadable"]);
    EXPECT_TRUE(failure["missing_import"].empty());
}

} // namespace
