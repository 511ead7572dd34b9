// The Java host against the stand-in VM: the exact JNI calls it makes, in order, the
// diagnostic lines it writes, and the library loading, on every platform the host builds
// for (on Windows under Wine, where no real Java VM exists).
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
#include "javahost/diagnostic.h"
#include "javahost/java_vm.h"
#include "javahost/server.h"
#include "platform/dynamic_library.h"
#include "platform/standard_error.h"
#include "platform/vm_option_text.h"
#include "test_support.h"

namespace {

using lines = std::vector<std::string>;
using orvo_test::captured_stderr;
using orvo_test::temp_dir;

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

const char string_array[] = "([Ljava/lang/String;)V";

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
        config.class_name = "app/Server";
        config.start_method = "start";
        config.stop_method = "stop";
    }
    void TearDown() override {
        // The stand-in marks a JNI call made on a thread that is not attached.
        for (const std::string& line : calls()) {
            EXPECT_NE(line.compare(0, 2, "!!"), 0) << line;
        }
        platform::free_library(library_);
    }

    void declare_class() { config.options.push_back("-Dstandin.class=app/Server"); }
    void declare_method(const std::string& name, const std::string& descriptor) {
        config.options.push_back("-Dstandin.method=app/Server." + name + descriptor);
    }

    // Runs `work` with standard error captured and returns what was written.
    std::string captured(const std::function<void()>& work) {
        captured_stderr capture(dir / "stderr");
        work();
        return capture.finish();
    }

    // The service's road: create and start on one thread, stop and destroy on another.
    // Returns the standard error written on it.
    std::string run_service() {
        return captured([this] {
            created = create_java_vm(config);
            if (created != create_ok) {
                return;
            }
            started = start_server();
            std::thread([] {
                stop_server();
                java_vm->DestroyJavaVM();
            }).join();
            platform::free_library(jvm_library);
        });
    }

    void clear_calls() { clear_(); }
    // The stand-in's record, one call a line.
    lines calls() const {
        lines result;
        std::istringstream text(record_());
        for (std::string line; std::getline(text, line);) {
            result.push_back(line);
        }
        return result;
    }
    // The record from the first line that begins with `first` up to, not including, the
    // next line that begins with `end`.
    lines calls_between(const std::string& first, const std::string& end) const {
        lines all = calls();
        lines part;
        bool inside = false;
        for (const std::string& line : all) {
            if (inside && !end.empty() && line.compare(0, end.size(), end) == 0) {
                break;
            }
            inside = inside || line.compare(0, first.size(), first) == 0;
            if (inside) {
                part.push_back(line);
            }
        }
        return part;
    }
    // From the start's attach up to the stop's attach (which, on another thread, is not
    // "already attached").
    lines start_part() const {
        lines part = calls_between("AttachCurrentThread", "");
        for (std::size_t i = 1; i < part.size(); ++i) {
            if (part[i] == "AttachCurrentThread arguments=null") {
                part.resize(i);
                break;
            }
        }
        return part;
    }
    lines stop_part() const {
        lines all = calls();
        lines part;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == "AttachCurrentThread arguments=null" || !part.empty()) {
                part.push_back(all[i]);
            }
        }
        return part;
    }

    temp_dir dir;
    settings_record config;
    int created = -1;
    start_result started = start_result::not_attached;

  private:
    platform::library_handle library_ = nullptr;
    const char* (*record_)() = nullptr;
    void (*clear_)() = nullptr;
};

// --- Creating the VM ---------------------------------------------------------------------

TEST_F(StandinHost, PassesTheOptionsInOrder) {
    config.options = {"-Xmx64m", "", "-Dx=a y"};
    EXPECT_EQ(captured([this] { created = create_java_vm(config); }), "");
    ASSERT_EQ(created, create_ok);
    // The hooks through which the VM tells of its own end come after the configured ones.
    const lines expected = {"JNI_CreateJavaVM version=00010006 options=5 ignoreUnrecognized=0",
                            "  option -Xmx64m",
                            "  option ",
                            "  option -Dx=a y",
                            "  option exit",
                            "  option abort"};
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(host_settings, &config);
    java_vm->DestroyJavaVM();
    platform::free_library(jvm_library);
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
        clear_calls();
        jvm_library = nullptr; // the last row's, released
        config.options = {"-Dq=1", c.option};
        const std::string written = run_service();
        if (c.received != nullptr) {
            EXPECT_EQ(created, create_ok);
            EXPECT_EQ(calls_between("  option -Dp=", "  option exit"),
                      lines{std::string("  option ") + c.received});
            continue;
        }
        EXPECT_EQ(created, create_bad_option);
        EXPECT_EQ(written, std::string("error: the option \"") + c.option + "\" holds \"" +
                               c.character + "\", which this system's code page (" +
                               std::to_string(code_page) +
                               ") cannot pass to the Java VM; use a path without it, or a system "
                               "code page that holds it.\r\n");
        EXPECT_EQ(jvm_library, nullptr);
        EXPECT_EQ(calls(), lines{}) << "the library is never loaded";
    }
    if (rows == 0) {
        GTEST_SKIP() << "no cases for the code page " << code_page;
    }
}

TEST_F(StandinHost, EmptyOptionListGivesNoOptions) {
    EXPECT_EQ(captured([this] { created = create_java_vm(config); }), "");
    ASSERT_EQ(created, create_ok);
    EXPECT_EQ(calls(), (lines{"JNI_CreateJavaVM version=00010006 options=2 ignoreUnrecognized=0",
                              "  option exit", "  option abort"}));
    EXPECT_NE(java_vm, nullptr);
    EXPECT_NE(jvm_library, nullptr);
    java_vm->DestroyJavaVM();
    platform::free_library(jvm_library);
}

TEST_F(StandinHost, FailedCreationWritesItsLineAndLeavesNothingBehind) {
    config.options = {"-Dstandin.fail=JNI_CreateJavaVM"};
    EXPECT_EQ(run_service(), "error: couldn't create JavaVM.\r\n");
    EXPECT_EQ(created, create_vm_failed);
    // The stand-in leaves its pointer behind on failure; neither value may be used later.
    EXPECT_EQ(java_vm, nullptr);
    EXPECT_EQ(jvm_library, nullptr);
    EXPECT_EQ(host_settings, &config);
    EXPECT_EQ(calls().back(), "  -> failed");
}

TEST_F(StandinHost, UnknownOptionFailsTheCreation) {
    config.options = {"-Dstandin.bogus=1"};
    EXPECT_EQ(run_service(), "error: couldn't create JavaVM.\r\n");
    EXPECT_EQ(created, create_vm_failed);
    EXPECT_EQ(calls().back(), "  -> unrecognized option");
}

TEST_F(StandinHost, MissingLibraryIsReportedAsJvmDll) {
    for (const std::string& path : {dir / "missing" ORVO_MODULE_SUFFIX, std::string()}) {
        config.dll_path = path;
        EXPECT_EQ(run_service(), "error: couldn't load jvm.dll.\r\n") << path;
        EXPECT_EQ(created, create_no_library) << path;
        EXPECT_EQ(jvm_library, nullptr);
    }
    EXPECT_EQ(calls(), lines{});
}

TEST_F(StandinHost, LibraryWithoutEntryPointIsReleased) {
    config.dll_path = library_path("no_entry_library");
    EXPECT_EQ(run_service(), "error: couldn't get function pointer.\r\n");
    EXPECT_EQ(created, create_no_entry_point);
    EXPECT_EQ(jvm_library, nullptr);
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
    EXPECT_EQ(calls(), (lines{"JNI_CreateJavaVM version=00010006 options=2 ignoreUnrecognized=0",
                              "  option exit", "  option abort"}));
    java_vm->DestroyJavaVM();
    platform::free_library(jvm_library);
}
#endif

// --- Starting: which variant, which parameters --------------------------------------------

TEST_F(StandinHost, BothVariantsAndNoParametersGiveAnEmptyArray) {
    declare_class();
    declare_method("start", string_array);
    declare_method("start", "()V");
    declare_method("stop", "()V");
    EXPECT_EQ(run_service(), "");
    EXPECT_EQ(started, start_result::start_called);
    const lines expected = {
        "AttachCurrentThread arguments=null (already attached)",
        "FindClass app/Server",
        "GetStaticMethodID app/Server start ([Ljava/lang/String;)V",
        "ExceptionClear",
        "GetStaticMethodID app/Server start ()V",
        "ExceptionClear",
        "FindClass java/lang/String",
        "NewObjectArray 0 java/lang/String null",
        "CallStaticVoidMethod app/Server.start([Ljava/lang/String;)V []",
        "ExceptionCheck -> false",
        "DetachCurrentThread",
    };
    EXPECT_EQ(start_part(), expected);
}

TEST_F(StandinHost, ParametersArriveInOrderAsUtf16) {
    declare_class();
    declare_method("start", string_array);
    declare_method("stop", "()V");
    config.start_method_params = {
        "ab", "\xC3\xA9", "\xE2\x82\xAC", "", "\xF0\x9F\x98\x80", "x\xF0\x9F", "\xED\xA0\x80"};
    EXPECT_EQ(run_service(), "");
    const lines expected = {
        "FindClass java/lang/String",
        "NewObjectArray 7 java/lang/String null",
        "NewString \"0061 0062\"",
        "SetObjectArrayElement 0 \"0061 0062\"",
        "NewString \"00e9\"",
        "SetObjectArrayElement 1 \"00e9\"",
        "NewString \"20ac\"",
        "SetObjectArrayElement 2 \"20ac\"",
        "NewString \"\"",
        "SetObjectArrayElement 3 \"\"",
        "NewString \"d83d de00\"",
        "SetObjectArrayElement 4 \"d83d de00\"",
        "NewString \"0078 fffd\"",
        "SetObjectArrayElement 5 \"0078 fffd\"",
        "NewString \"fffd fffd\"",
        "SetObjectArrayElement 6 \"fffd fffd\"",
        "CallStaticVoidMethod app/Server.start([Ljava/lang/String;)V [\"0061 0062\", \"00e9\", "
        "\"20ac\", \"\", \"d83d de00\", \"0078 fffd\", \"fffd fffd\"]",
    };
    EXPECT_EQ(calls_between("FindClass java/lang/String", "ExceptionCheck"), expected);
}

TEST_F(StandinHost, OnlyThePlainVariantIsCalledWithoutArguments) {
    declare_class();
    declare_method("start", "()V");
    declare_method("stop", "()V");
    EXPECT_EQ(run_service(), "");
    EXPECT_EQ(started, start_result::start_called);
    const lines expected = {
        "GetStaticMethodID app/Server start ()V",
        "ExceptionClear",
        "CallStaticVoidMethod app/Server.start()V",
        "ExceptionCheck -> false",
        "DetachCurrentThread",
    };
    EXPECT_EQ(calls_between("GetStaticMethodID app/Server start ()V", "AttachCurrentThread"),
              expected);
}

// What the start does when no variant fits: the method line, nothing called, detached.
lines no_start_method(bool plain_found) {
    return {
        "AttachCurrentThread arguments=null (already attached)",
        "FindClass app/Server",
        "GetStaticMethodID app/Server start ([Ljava/lang/String;)V -> missing",
        "ExceptionClear",
        std::string("GetStaticMethodID app/Server start ()V") + (plain_found ? "" : " -> missing"),
        "ExceptionClear",
        "DetachCurrentThread",
    };
}

TEST_F(StandinHost, NeitherVariantWritesTheMethodLine) {
    declare_class();
    declare_method("stop", "()V");
    EXPECT_EQ(run_service(), "error: method \"start\" not found.\r\n");
    EXPECT_EQ(started, start_result::no_method);
    EXPECT_EQ(start_part(), no_start_method(false));
}

TEST_F(StandinHost, PlainVariantWithParametersConfiguredCountsAsMissing) {
    declare_class();
    declare_method("start", "()V");
    declare_method("stop", "()V");
    config.start_method_params = {"p"};
    EXPECT_EQ(run_service(), "error: method \"start\" not found.\r\n");
    EXPECT_EQ(started, start_result::no_method);
    EXPECT_EQ(start_part(), no_start_method(true));
}

// --- Stopping ------------------------------------------------------------------------------

TEST_F(StandinHost, StopAttachesItsOwnThreadAndDetachesBeforeTheVmIsDestroyed) {
    declare_class();
    declare_method("start", "()V");
    declare_method("stop", "()V");
    EXPECT_EQ(run_service(), "");
    const lines expected = {
        "AttachCurrentThread arguments=null",
        "FindClass app/Server",
        "GetStaticMethodID app/Server stop ()V",
        "CallStaticVoidMethod app/Server.stop()V",
        "ExceptionCheck -> false",
        "DetachCurrentThread",
        "DestroyJavaVM other_threads_attached=0",
    };
    EXPECT_EQ(stop_part(), expected);
}

TEST_F(StandinHost, MissingStopMethodWritesTheMethodLineNamingIt) {
    config.stop_method = "shut\xC3\xA9";
    declare_class();
    declare_method("start", "()V");
    EXPECT_EQ(run_service(), "error: method \"shut\xC3\xA9\" not found.\r\n");
    const lines expected = {
        "AttachCurrentThread arguments=null",
        "FindClass app/Server",
        "GetStaticMethodID app/Server shut\xC3\xA9 ()V -> missing",
        "DetachCurrentThread pending=java/lang/NoSuchMethodError",
        "DestroyJavaVM other_threads_attached=0",
    };
    EXPECT_EQ(stop_part(), expected);
}

// --- Failures on both roads ----------------------------------------------------------------

TEST_F(StandinHost, MissingClassWritesTheClassLineOnStartAndStop) {
    config.class_name = "app.Server"; // dots pass unchanged
    declare_class();
    EXPECT_EQ(run_service(), "error: class \"app.Server\" not found.\r\n"
                             "error: class \"app.Server\" not found.\r\n");
    EXPECT_EQ(started, start_result::no_class);
    const lines expected = {
        "AttachCurrentThread arguments=null (already attached)",
        "FindClass app.Server -> missing",
        "DetachCurrentThread pending=java/lang/NoClassDefFoundError",
        "AttachCurrentThread arguments=null",
        "FindClass app.Server -> missing",
        "DetachCurrentThread pending=java/lang/NoClassDefFoundError",
        "DestroyJavaVM other_threads_attached=0",
    };
    EXPECT_EQ(calls_between("AttachCurrentThread", ""), expected);
}

// The VM describes what each method threw. For the start method, the host looks the
// exception's class up first, puts the exception back for the description, and says
// which start failed; a stop that throws goes on without a line.
TEST_F(StandinHost, ThrowingMethodsAreDescribedByTheVmAndAThrowingStartIsSaid) {
    declare_class();
    declare_method("start", string_array);
    declare_method("stop", "()V");
    config.options.push_back("-Dstandin.throws=app/Server.start=java/net/BindException");
    config.options.push_back("-Dstandin.throws=app/Server.stop");
    EXPECT_EQ(
        run_service(),
        "error: the start method \"start\" of \"app/Server\" threw java.net.BindException.\r\n");
    EXPECT_EQ(started, start_result::start_threw);
    const lines described = calls_between("ExceptionCheck", "");
    const lines expected = {
        "ExceptionCheck -> true",
        "ExceptionOccurred -> java/net/BindException",
        "ExceptionClear",
        "GetObjectClass -> java/net/BindException",
        "FindClass java/lang/Class",
        "GetMethodID java/lang/Class getName ()Ljava/lang/String;",
        "CallObjectMethod java/net/BindException.getName",
        "ExceptionCheck -> false",
        "GetStringUTFChars -> java.net.BindException",
        "ReleaseStringUTFChars",
        "ExceptionClear",
        "Throw java/net/BindException",
        "ExceptionDescribe java/net/BindException",
        "DetachCurrentThread",
        "AttachCurrentThread arguments=null",
        "FindClass app/Server",
        "GetStaticMethodID app/Server stop ()V",
        "CallStaticVoidMethod app/Server.stop()V",
        "ExceptionCheck -> true",
        "ExceptionDescribe java/lang/RuntimeException",
        "DetachCurrentThread",
        "DestroyJavaVM other_threads_attached=0",
    };
    EXPECT_EQ(described, expected);
}

TEST_F(StandinHost, FailedAttachMakesNoCallThroughANullEnvironment) {
    declare_class();
    declare_method("start", "()V");
    declare_method("stop", "()V");
    config.options.push_back("-Dstandin.fail=AttachCurrentThread");
    EXPECT_EQ(run_service(), "error: couldn't attach thread to JavaVM.\r\n"
                             "error: couldn't attach thread to JavaVM.\r\n");
    EXPECT_EQ(started, start_result::not_attached);
    const lines expected = {
        "AttachCurrentThread arguments=null -> failed",
        "AttachCurrentThread arguments=null -> failed",
        // The creating thread stays attached when its attach fails: the stand-in's
        // destruction sees it, as a real VM's would wait for it.
        "DestroyJavaVM other_threads_attached=1",
    };
    EXPECT_EQ(calls_between("AttachCurrentThread", ""), expected);
}

TEST_F(StandinHost, StartIsNotCalledWithAnIncompleteParameterArray) {
    declare_class();
    declare_method("start", string_array);
    declare_method("stop", "()V");
    config.start_method_params = {"a", "b"};
    config.options.push_back("-Dstandin.fail=NewString");
    EXPECT_EQ(run_service(), "error: couldn't create parameters for method \"start\".\r\n");
    EXPECT_EQ(started, start_result::no_parameters);
    const lines expected = {
        "NewObjectArray 2 java/lang/String null",
        "NewString \"0061\" -> failed",
        "ExceptionCheck -> true",
        "ExceptionDescribe java/lang/OutOfMemoryError",
        "DetachCurrentThread",
    };
    EXPECT_EQ(calls_between("NewObjectArray", "AttachCurrentThread"), expected);
}

TEST_F(StandinHost, FailedArrayCreationIsReportedTheSameWay) {
    declare_class();
    declare_method("start", string_array);
    declare_method("stop", "()V");
    config.options.push_back("-Dstandin.fail=NewObjectArray");
    EXPECT_EQ(run_service(), "error: couldn't create parameters for method \"start\".\r\n");
    EXPECT_EQ(started, start_result::no_parameters);
    const lines expected = {
        "NewObjectArray 0 java/lang/String null -> failed",
        "ExceptionCheck -> true",
        "ExceptionDescribe java/lang/OutOfMemoryError",
        "DetachCurrentThread",
    };
    EXPECT_EQ(calls_between("NewObjectArray", "AttachCurrentThread"), expected);
}

} // namespace
