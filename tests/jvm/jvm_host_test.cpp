// The Java host against the real Java VM: the scenarios of host_scenarios.h, and what only
// a real VM shows (the class path, the signal handlers, orvo-check --jvm). Each case writes
// a settings file and runs the scenario program (or orvo-check) as a process of its own,
// since a process can create only one VM; facts come from its exit status, its standard
// output and error, and the record of the Java test classes (tests/jvm/java/orvotest).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "binary_samples.h"
#include "host_scenarios.h"
#include "test_support.h"

namespace {

using namespace orvo_test;
using strings = std::vector<std::string>;

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
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

// --- The scenarios ---------------------------------------------------------------------

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        text += {digits[static_cast<unsigned char>(c) >> 4], digits[c & 15]};
    }
    return text;
}

class RealJvmScenario : public RealJvm, public ::testing::WithParamInterface<host_scenario> {};

TEST_P(RealJvmScenario, BehavesAsTheRowSays) {
    const host_scenario& row = GetParam();
    const std::string libraries[] = {ORVO_JVM_LIBRARY, ORVO_NO_ENTRY_LIBRARY, dir / "libjvm.so",
                                     ""};
    settings.dll_path = libraries[static_cast<int>(row.library)];
    settings.class_name = row.class_name;
    settings.start_method = row.start_method;
    settings.stop_method = row.stop_method;
    if (*row.option != '\0') {
        settings.options.push_back(row.option);
    }
    // The parameters as bytes, since a settings file cannot hold every byte sequence.
    strings arguments;
    for (const std::string& parameter : row.parameters) {
        arguments.insert(arguments.end(), {"--param-hex", hex(parameter)});
    }
    const outcome result = run_scenario(arguments);
    observed seen;
    seen.created = result.status;
    const std::string::size_type started = result.out.find("started: ");
    if (started != std::string::npos) {
        seen.started =
            start_result_name(static_cast<start_result>(std::stoi(result.out.substr(started + 9))));
    }
    seen.said = said_on_stderr(result.err);
    std::istringstream ran(result.java);
    for (std::string line; std::getline(ran, line);) {
        seen.ran.push_back(line);
    }
    // The VM's destruction waits for every thread still attached: it returns only alone.
    seen.destroyed_alone = contains(result.out, "destroyed\n");
    expect_behaviour(row, seen);
    if (*row.option != '\0') {
        // The VM says why it refuses the option before the host's line.
        EXPECT_LT(result.err.find(row.option), result.err.find("error: ")) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(host, RealJvmScenario, ::testing::ValuesIn(host_scenarios), row_name);

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
    EXPECT_EQ(result.java, "start ran with []\nstop ran\n");
}

// --- The stop signals --------------------------------------------------------------------

TEST_F(RealJvm, OwnSignalHandlersSurviveTheVmsCreation) {
    const outcome result = run_scenario({"--own-signal-handlers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Terminated: own\nInterrupt: own\nHangup: own\n"
                          "SIGTERM reached own handler: 1\nstarted: 0\ndestroyed\n");
    EXPECT_EQ(result.java, "start ran with []\nstop ran\n");
}

TEST_F(RealJvm, WithoutHandlersOfItsOwnTheProcessKeepsTheVms) {
    const outcome result = run_scenario({"--report-signal-handlers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Terminated: other\nInterrupt: other\nHangup: other\nstarted: 0\ndestroyed\n");
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

// The start's lines, and the exceptions the lookups leave, as the service has them.
TEST_F(RealJvm, CheckFailsWithTheServicesLines) {
    struct broken {
        std::string class_name;
        strings parameters;
        std::string dll_path;
        std::string said;
    };
    // clang-format off
    const broken cases[] = {
        {"orvotest/Missing", {}, ORVO_JVM_LIBRARY, "error: class \"orvotest/Missing\" not found.\r\ndescribed java.lang.NoClassDefFoundError\n"},
        {"orvotest/PlainStart", {"x"}, ORVO_JVM_LIBRARY, "error: method \"start\" not found.\r\n"},
        {"orvotest/NoStop", {}, ORVO_JVM_LIBRARY, "error: method \"stop\" not found.\r\ndescribed java.lang.NoSuchMethodError\n"},
        {"orvotest/BothStarts", {}, "/nonexistent/libjvm.so", "error: couldn't load jvm.dll.\r\n"},
    };
    // clang-format on
    for (const broken& c : cases) {
        settings.class_name = c.class_name;
        settings.parameters = c.parameters;
        settings.dll_path = c.dll_path;
        const outcome result = run_check();
        EXPECT_EQ(result.status, 1) << c.said;
        EXPECT_EQ(said_on_stderr(result.err), c.said) << result.err;
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
