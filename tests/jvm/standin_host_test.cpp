// The Java host against the stand-in VM, on every platform the host builds for (on
// Windows under Wine, where no real Java VM exists): the scenarios of host_scenarios.h,
// faults that a real VM cannot be made to show, and the library loading. Facts come from
// the stand-in's record, stated as behaviour: which methods ran, with what, and whether a
// thread was left attached when the VM was destroyed.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "captured_stderr.h"
#include "host_scenarios.h"
#include "javahost/diagnostic.h"
#include "javahost/java_vm.h"
#include "platform/dynamic_library.h"
#include "platform/standard_error.h"
#include "platform/vm_option_text.h"
#include "test_support.h"

namespace {

using lines = std::vector<std::string>;
using namespace orvo_test;

// A library built beside this program, named as the system would be given it.
std::string library_path(const std::string& name) {
    std::string path = std::string(ORVO_TEST_LIBRARY_DIR) + "/" + name + ORVO_MODULE_SUFFIX;
#ifdef _WIN32
    // The build tree is a Unix path; Wine shows the Unix root as drive Z:.
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    path = "Z:" + path;
#endif
    return path;
}

// "CallStaticVoidMethod a/B.name(DESCRIPTOR)V [ARGUMENTS]" as the rows say it: "name ran",
// or "name ran with [ARGUMENTS]".
std::string method_ran(const std::string& call) {
    const std::string::size_type open = call.find('(');
    const std::string::size_type dot = call.rfind('.', open);
    const std::string arguments = call.substr(call.find(')', open) + 2);
    return call.substr(dot + 1, open - dot - 1) + " ran" + (arguments.empty() ? "" : " with") +
           arguments;
}

class StandinHost : public ::testing::Test {
  protected:
    void SetUp() override {
        // The test's own load keeps the stand-in, and its record, alive between the
        // host's loads and releases.
        library_ = platform::load_library(library_path("standin_jvm"));
        ASSERT_NE(library_, nullptr) << platform::library_error();
        record_ = reinterpret_cast<const char* (*)()>(
            platform::find_function(library_, "standin_record"));
        clear_ =
            reinterpret_cast<void (*)()>(platform::find_function(library_, "standin_clear_record"));
        ASSERT_NE(record_, nullptr);
        ASSERT_NE(clear_, nullptr);
        clear_();
        java_vm = nullptr;
        jvm_library = nullptr;
        host_settings = nullptr;
        config.dll_path = library_path("standin_jvm");
    }
    void TearDown() override {
        // The stand-in marks a JNI call made on a thread that is not attached.
        for (const std::string& line : calls()) {
            EXPECT_NE(line.compare(0, 2, "!!"), 0) << line;
        }
        platform::free_library(library_);
    }

    // The row's settings, with every Java test class declared to the stand-in.
    void configure(const host_scenario& row) {
        const std::string libraries[] = {library_path("standin_jvm"),
                                         library_path("no_entry_library"),
                                         dir / "missing" ORVO_MODULE_SUFFIX, ""};
        config.dll_path = libraries[static_cast<int>(row.library)];
        config.class_name = row.class_name;
        config.start_method = row.start_method;
        config.stop_method = row.stop_method;
        config.start_method_params.assign(row.parameters.begin(), row.parameters.end());
        config.options = {"-Dstandin.describe"};
        for (const java_class& java : java_classes) {
            config.options.push_back(std::string("-Dstandin.class=") + java.name);
            std::istringstream methods(java.methods);
            for (std::string method; methods >> method;) {
                const std::string name = java.name + ("." + method);
                config.options.push_back("-Dstandin.method=" + name);
                if (*java.throws != '\0') {
                    config.options.push_back("-Dstandin.throws=" + name.substr(0, name.find('(')) +
                                             "=" + java.throws);
                }
            }
        }
        if (*row.option != '\0') {
            config.options.push_back(row.option);
        }
    }

    // Runs `work` with standard error captured and returns what was written.
    std::string captured(const std::function<void()>& work) {
        captured_stderr capture(dir / "stderr");
        work();
        return capture.finish();
    }

    // The service's road: create and start on one thread, stop on another. The VM is
    // destroyed from the first, so that a thread that either call left attached shows.
    observed run_service() {
        observed seen;
        seen.said = said_on_stderr(captured([this, &seen] {
            seen.created = create_java_vm(config);
            if (seen.created != create_ok) {
                return;
            }
            seen.started = start_result_name(start_server());
            std::thread(stop_server).join();
            java_vm->DestroyJavaVM();
            platform::free_library(jvm_library);
        }));
        for (const std::string& line : calls()) {
            if (line.compare(0, 21, "CallStaticVoidMethod ") == 0) {
                seen.ran.push_back(method_ran(line));
            }
            seen.destroyed_alone =
                seen.destroyed_alone || line == "DestroyJavaVM other_threads_attached=0";
        }
        return seen;
    }

    // The stand-in's record, one call a line.
    lines calls() const {
        lines result;
        std::istringstream text(record_());
        for (std::string line; std::getline(text, line);) {
            result.push_back(line);
        }
        return result;
    }

    temp_dir dir;
    settings_record config;
    int created = -1;
    const char* (*record_)() = nullptr;
    void (*clear_)() = nullptr;

  private:
    platform::library_handle library_ = nullptr;
};

// --- The scenarios, and faults only the stand-in can show --------------------------------

// clang-format off
const host_scenario standin_scenarios[] = {
    {"a_vm_that_fails_to_be_created", "orvotest/BothStarts", "start", "stop", {}, vm_library::java_vm, "-Dstandin.fail=JNI_CreateJavaVM", 3, "", "error: couldn't create JavaVM.\r\n", {}},
    // The start is not called with an incomplete parameter array.
    {"a_parameter_that_cannot_be_made", "orvotest/ArrayStart", "begin", "end", {"a", "b"}, vm_library::java_vm, "-Dstandin.fail=NewString", 0, "no_parameters", "described java.lang.OutOfMemoryError\nerror: couldn't create parameters for method \"begin\".\r\n", {"end ran"}},
    // A class whose loading throws (its static initialiser) was found: its code failed, the
    // program's own failure. The line names what was thrown in UTF-8, beyond the basic plane
    // too, never in the VM's modified UTF-8. (A real VM says "not found" at the stop.)
    {"a_class_whose_loading_throws_is_no_missing_class", "orvotest/BothStarts", "start", "stop", {}, vm_library::java_vm, "-Dstandin.throws=orvotest/BothStarts.<clinit>=orvotest/\\u{418}\\u{43d}\\u{444}\\u{43e}$\\u{41e}\\u{448}\\u{438}\\u{431}\\u{43a}\\u{430}\\u{10400}", 0, "class_threw",
     "described orvotest.Инфо$Ошибка𐐀\nerror: loading class \"orvotest/BothStarts\" threw orvotest.Инфо$Ошибка𐐀.\r\ndescribed orvotest.Инфо$Ошибка𐐀\nerror: loading class \"orvotest/BothStarts\" threw orvotest.Инфо$Ошибка𐐀.\r\n", {}},
    {"a_parameter_array_that_cannot_be_made", "orvotest/ArrayStart", "begin", "end", {}, vm_library::java_vm, "-Dstandin.fail=NewObjectArray", 0, "no_parameters", "described java.lang.OutOfMemoryError\nerror: couldn't create parameters for method \"begin\".\r\n", {"end ran"}},
};
// clang-format on

class StandinScenario : public StandinHost, public ::testing::WithParamInterface<host_scenario> {};

TEST_P(StandinScenario, BehavesAsTheRowSays) {
    configure(GetParam());
    expect_behaviour(GetParam(), run_service());
    EXPECT_EQ(host_settings, &config);
    if (GetParam().created != create_ok) {
        // The stand-in leaves its pointer behind on failure; neither value may be used later.
        EXPECT_EQ(java_vm, nullptr);
        EXPECT_EQ(jvm_library, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(host, StandinScenario, ::testing::ValuesIn(host_scenarios), row_name);
INSTANTIATE_TEST_SUITE_P(standin, StandinScenario, ::testing::ValuesIn(standin_scenarios),
                         row_name);

TEST_F(StandinHost, FailedAttachMakesNoCallThroughANullEnvironment) {
    configure(host_scenarios[0]);
    config.options.push_back("-Dstandin.fail=AttachCurrentThread");
    const observed seen = run_service();
    EXPECT_EQ(seen.said, "error: couldn't attach thread to JavaVM.\r\n"
                         "error: couldn't attach thread to JavaVM.\r\n");
    EXPECT_EQ(seen.started, "not_attached");
    EXPECT_EQ(seen.ran, lines{});
}

// --- Creating the VM ---------------------------------------------------------------------

// The options reach the VM in their order; the hooks through which the VM tells of its
// own end come after the configured ones.
TEST_F(StandinHost, PassesTheOptionsInOrder) {
    const struct {
        lines options;
        lines creation;
    } cases[] = {
        {{}, {"JNI_CreateJavaVM version=00010006 options=2 ignoreUnrecognized=0"}},
        {{"-Xmx64m", "", "-Dx=a y"},
         {"JNI_CreateJavaVM version=00010006 options=5 ignoreUnrecognized=0", "  option -Xmx64m",
          "  option ", "  option -Dx=a y"}},
    };
    for (const auto& c : cases) {
        clear_();
        config.options.assign(c.options.begin(), c.options.end());
        EXPECT_EQ(captured([this] { created = create_java_vm(config); }), "");
        ASSERT_EQ(created, create_ok);
        lines expected = c.creation;
        // orvo.Service, with no native methods: nothing here takes the program's requests.
        expected.insert(expected.end(), {"  option exit", "  option abort",
                                         "DefineClass orvo/Service loader=boot"});
        EXPECT_EQ(calls(), expected);
        java_vm->DestroyJavaVM();
        platform::free_library(jvm_library);
    }
}

// An option reaches the VM in the code page in which it reads its options (on Windows the
// ANSI code page, which the Unix locale sets under Wine), never with a stand-in for a
// character, not even a look-alike. One that the code page cannot hold fails the creation
// before the library is loaded, with the line that names the option and the character.
struct option_text_case {
    std::uint32_t code_page; // 0: a VM that takes the bytes as they are
    const char* option;
    const char* received;  // what the VM receives; nullptr when the creation fails
    const char* character; // the character that the failure names
};

// clang-format off
const option_text_case option_text_cases[] = {
    {0, "-Dp=Pr\xc3\xbc" "fung/\xd0\xa1\xd0\xbb/\xe6\x9c\x8d/\xf0\x9f\x9a\x80", "-Dp=Pr\xc3\xbc" "fung/\xd0\xa1\xd0\xbb/\xe6\x9c\x8d/\xf0\x9f\x9a\x80", nullptr},
    {1252, "-Dp=C:\\Pr\xc3\xbc" "fung\\a.jar;", "-Dp=C:\\Pr\xfc" "fung\\a.jar;", nullptr},
    {1252, "-Dp=C:\\Pr\xc3\xbc" "fung\\\xd0\xa1\xd0\xbb", nullptr, "\xd0\xa1"},
    {1252, "-Dp=\xe6\x9c\x8d", nullptr, "\xe6\x9c\x8d"},
    {1252, "-Dp=x\xf0\x9f\x9a\x80", nullptr, "\xf0\x9f\x9a\x80"},
    {1252, "-Dp=\xc5\x81\xc3\xb3" "d\xc5\xba", nullptr, "\xc5\x81"}, // best fit: "L"
    {1251, "-Dp=\xd0\xa1\xd0\xbb\xd1\x83\xd0\xb6\xd0\xb1\xd1\x8b", "-Dp=\xd1\xeb\xf3\xe6\xe1\xfb", nullptr},
    {1251, "-Dp=\xd0\xa1\xd0\xbb/Pr\xc3\xbc" "fung", nullptr, "\xc3\xbc"}, // best fit: "u"
    {1251, "-Dp=\xf0\x9f\x9a\x80", nullptr, "\xf0\x9f\x9a\x80"},
    {65001, "-Dp=Pr\xc3\xbc" "fung/\xf0\x9f\x9a\x80", "-Dp=Pr\xc3\xbc" "fung/\xf0\x9f\x9a\x80", nullptr},
};
// clang-format on

TEST_F(StandinHost, OptionsReachTheVmInItsCodePageOrNotAtAll) {
    const std::uint32_t code_page = platform::vm_option_code_page();
    int rows = 0;
    for (const option_text_case& c : option_text_cases) {
        if (c.code_page != code_page) {
            continue;
        }
        ++rows;
        SCOPED_TRACE(c.option);
        clear_();
        jvm_library = nullptr; // the last row's, released
        config.options = {"-Dq=1", c.option};
        const std::string err = captured([this] { created = create_java_vm(config); });
        const lines creation = calls();
        if (c.received != nullptr) {
            EXPECT_EQ(created, create_ok);
            // The creation's line, then each option: the one under test comes second.
            EXPECT_EQ(creation.size() > 2 ? creation[2] : "",
                      std::string("  option ") + c.received);
            java_vm->DestroyJavaVM();
            platform::free_library(jvm_library);
            continue;
        }
        EXPECT_EQ(created, create_bad_option);
        EXPECT_EQ(err, std::string("error: the option \"") + c.option + "\" holds \"" +
                           c.character + "\", which this system's code page (" +
                           std::to_string(code_page) +
                           ") cannot pass to the Java VM; use a path without it, or a system "
                           "code page that holds it.\r\n");
        EXPECT_EQ(jvm_library, nullptr);
        EXPECT_EQ(creation, lines{}) << "the library is never loaded";
    }
    if (rows == 0) {
        GTEST_SKIP() << "no cases for the code page " << code_page;
    }
}

// Why a load failed, as the system words it; the service's exit code carries the same.
TEST_F(StandinHost, LibraryErrorsNameTheCause) {
    const std::string missing = dir / "missing" ORVO_MODULE_SUFFIX;
    EXPECT_EQ(platform::load_library(missing), nullptr);
    const std::string not_found = platform::library_error();
    const platform::library_handle loaded =
        platform::load_library(library_path("no_entry_library"));
    ASSERT_NE(loaded, nullptr) << platform::library_error();
    EXPECT_EQ(platform::find_function(loaded, "JNI_CreateJavaVM"), nullptr);
    const std::string no_export = platform::library_error();
    platform::free_library(loaded);
#ifdef _WIN32
    EXPECT_NE(not_found.find("(error 126)"), std::string::npos) << not_found;
    EXPECT_NE(no_export.find("(error 127)"), std::string::npos) << no_export;
#else
    EXPECT_NE(not_found.find("No such file"), std::string::npos) << not_found;
    EXPECT_NE(no_export.find("JNI_CreateJavaVM"), std::string::npos) << no_export;
#endif
}

#ifndef _WIN32
// A stderr log that is a pipe whose reader has gone: the line is lost, and the SIGPIPE of
// the write must not end the process before it reports why it stops.
TEST_F(StandinHost, ALineToAPipeWithoutReaderDoesNotEndTheProcess) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    struct sigaction default_action {};
    struct sigaction previous {};
    default_action.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &default_action, &previous);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(ends[1], STDERR_FILENO);
    close(ends[1]);
    report_vm_aborted(); // the line written from the Java VM's signal handler
    report_class_not_found("a/B");
    dup2(saved, STDERR_FILENO);
    close(saved);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
    sigaction(SIGPIPE, &previous, nullptr);
}
#endif

// A diagnostic line that cannot be written must not replace the failure's own error code,
// which the service reports as its exit code.
TEST_F(StandinHost, LostDiagnosticLineKeepsTheFailuresErrorCode) {
    config.dll_path = dir / "missing" ORVO_MODULE_SUFFIX;
    std::string reason;
    {
        orvo_test::closed_stderr closed;
        errno = ENOENT;
        platform::write_standard_error("x", 1);
        EXPECT_EQ(errno, ENOENT);
        created = create_java_vm(config);
        reason = platform::library_error();
    }
    EXPECT_EQ(created, create_no_library);
#ifdef _WIN32
    EXPECT_NE(reason.find("(error 126)"), std::string::npos) << reason;
#endif
}

#ifdef _WIN32
TEST_F(StandinHost, LoadsTheLibraryByNameFromTheProgramsDirectory) {
    config.dll_path = "standin_jvm.dll";
    EXPECT_EQ(captured([this] { created = create_java_vm(config); }), "");
    ASSERT_EQ(created, create_ok);
    java_vm->DestroyJavaVM();
    platform::free_library(jvm_library);
}
#endif

} // namespace
