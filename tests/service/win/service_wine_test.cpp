// orvo.exe as a real service of Wine's service control manager, on the stand-in Java VM
// (through recording_jvm.dll, which writes the stand-in's record of calls to a file); and
// orvo-check.exe explaining why a Java VM library cannot be loaded.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/win/wide_text.h"
#include "tests/binary_samples.h"
#include "tests/numbered_lines.h"
#include "tests/rotated_logs.h"
#include "tests/test_support.h"

namespace orvo_test {
namespace {

// The build's paths as Wine shows them: the Unix root is drive Z:.
std::string windows_path(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path.size() > 1 && path[1] == ':' ? path : "Z:" + path;
}

// Only a guard against a hang: every wait ends on a real change of state long before.
constexpr DWORD guard_milliseconds = 120 * 1000;

// The settings of the Wine tests: the Probe class with one start parameter, on the Java
// VM library `dll_path` (the recording stand-in, or one that does not exist).
void write_settings(const std::string& path, const std::string& stdout_log,
                    const std::string& stderr_log, const std::string& dll_path,
                    const std::vector<std::string>& options, const std::string& start_timeout = "",
                    const std::string& stop_timeout = "") {
    settings_document document;
    document.start_timeout = start_timeout;
    document.stop_timeout = stop_timeout;
    document.stdout_log = stdout_log;
    document.stderr_log = stderr_log;
    document.dll_path = dll_path;
    document.options = options;
    document.class_name = "orvotest/Probe";
    document.start_method = "start";
    document.stop_method = "stop";
    document.parameters = {"alpha"};
    write_file(path, settings_xml(document));
}

// The service "orvo", registered for one test and deleted after it.
class registered_service {
  public:
    explicit registered_service(const std::string& command_line) {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (manager_ == nullptr) {
            throw std::runtime_error("OpenSCManagerA failed");
        }
        remove_leftover();
        service_ = create(command_line);
        // The last test's service may still be on its way out, its deletion only marked:
        // wait until the manager has let its name go.
        const DWORD began = GetTickCount();
        while (service_ == nullptr && GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE &&
               GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
            service_ = create(command_line);
        }
        if (service_ == nullptr) {
            throw std::runtime_error("CreateServiceA failed: " + std::to_string(GetLastError()));
        }
    }
    ~registered_service() {
        SERVICE_STATUS status{};
        // A service whose process has gone without a stopped report takes no request.
        if (query().dwCurrentState != SERVICE_STOPPED &&
            ControlService(service_, SERVICE_CONTROL_STOP, &status)) {
            wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
        }
        DeleteService(service_);
        CloseServiceHandle(service_);
        CloseServiceHandle(manager_);
        // The next test may reuse the logs only once this process has let go of them: it
        // goes on a moment after its stopped report, longer on a busy machine.
        if (process_ != nullptr) {
            WaitForSingleObject(process_, guard_milliseconds);
            CloseHandle(process_);
        }
    }
    registered_service(const registered_service&) = delete;
    registered_service& operator=(const registered_service&) = delete;

    bool start() {
        // The start parameters must not reach the program.
        const char* parameters[] = {"start-parameter"};
        // Wine's manager may say that the start timed out when the service's process ended
        // before it finished waiting for it: a start that failed at once, as some tests
        // want. Only a service still start pending has truly timed out.
        if (StartServiceA(service_, 1, parameters) == FALSE &&
            (GetLastError() != ERROR_SERVICE_REQUEST_TIMEOUT ||
             query().dwCurrentState != SERVICE_STOPPED)) {
            return false;
        }
        // Null when the process has ended already.
        process_ =
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id());
        return true;
    }
    // Waits for the service's process to end; its exit code, or STILL_ACTIVE when the
    // process ended before it could be looked at.
    DWORD process_exit_code() {
        DWORD code = STILL_ACTIVE;
        if (process_ != nullptr &&
            WaitForSingleObject(process_, guard_milliseconds) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_, &code);
        }
        return code;
    }
    SERVICE_STATUS query() const {
        SERVICE_STATUS status{};
        QueryServiceStatus(service_, &status);
        return status;
    }
    // The service's process; 0 when it has none.
    DWORD process_id() const {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof status, &needed);
        return status.dwProcessId;
    }
    bool control(DWORD code, SERVICE_STATUS& status) {
        return ControlService(service_, code, &status) != FALSE;
    }
    // Polls the status while `pending(state)` holds; every state seen, the last one last.
    template <typename Predicate> std::vector<SERVICE_STATUS> wait_while(Predicate pending) {
        return wait_while_status(
            [&pending](const SERVICE_STATUS& status) { return pending(status.dwCurrentState); });
    }
    // The same, with `pending` judging the whole status.
    template <typename Predicate> std::vector<SERVICE_STATUS> wait_while_status(Predicate pending) {
        std::vector<SERVICE_STATUS> seen{query()};
        const DWORD began = GetTickCount();
        while (pending(seen.back()) && GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
            seen.push_back(query());
        }
        return seen;
    }

  private:
    SC_HANDLE create(const std::string& command_line) {
        return CreateServiceA(manager_, "orvo", "orvo", SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                              command_line.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    void remove_leftover() {
        if (SC_HANDLE old = OpenServiceA(manager_, "orvo", SERVICE_ALL_ACCESS)) {
            SERVICE_STATUS status{};
            ControlService(old, SERVICE_CONTROL_STOP, &status);
            DeleteService(old);
            CloseServiceHandle(old);
        }
    }

    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    HANDLE process_ = nullptr;
};

// Runs `command` to its end in the folder `directory` (never the build's, which holds every
// library the tests built), with standard output and standard error going to the files
// `out` and `err` (one file when both are the same), and standard input read from the file
// `in` (none when empty); its exit code.
DWORD run_program(const std::string& command, const std::string& directory, const std::string& out,
                  const std::string& err, const std::string& in = "") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&inherit](const std::string& path) {
        return CreateFileW(platform::wide_text(path).c_str(), GENERIC_WRITE, 0, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE output = create(out);
    const HANDLE error = err == out ? output : create(err);
    const HANDLE input = in.empty()
                             ? nullptr
                             : CreateFileW(platform::wide_text(in).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = error;
    startup.hStdInput = input;
    PROCESS_INFORMATION process{};
    // The wide call: the command may name paths outside the ANSI code page.
    std::wstring wide_command = platform::wide_text(command);
    const bool started =
        output != INVALID_HANDLE_VALUE && error != INVALID_HANDLE_VALUE &&
        input != INVALID_HANDLE_VALUE &&
        CreateProcessW(nullptr, wide_command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       platform::wide_text(directory).c_str(), &startup, &process);
    const DWORD start_error = started ? 0 : GetLastError();
    for (const HANDLE handle : {output, error == output ? INVALID_HANDLE_VALUE : error, input}) {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
            CloseHandle(handle);
        }
    }
    if (!started) {
        throw std::runtime_error("cannot run " + command + ": error " +
                                 std::to_string(start_error));
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, guard_milliseconds);
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0) {
        throw std::runtime_error("no end of " + command);
    }
    return exit_code;
}

bool is_starting(DWORD state) {
    return state == SERVICE_START_PENDING || state == SERVICE_STOPPED;
}

bool is_start_pending(DWORD state) {
    return state == SERVICE_START_PENDING;
}

bool has_state(const std::vector<SERVICE_STATUS>& seen, DWORD state) {
    for (const SERVICE_STATUS& status : seen) {
        if (status.dwCurrentState == state) {
            return true;
        }
    }
    return false;
}

// Adds what `service` reports until it has stopped to `seen`, and checks how it ended:
// whether it ran, and its stopped report's codes.
void expect_end(registered_service& service, std::vector<SERVICE_STATUS>& seen,
                bool reaches_running, DWORD exit_code, DWORD specific) {
    const std::vector<SERVICE_STATUS> rest =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    seen.insert(seen.end(), rest.begin(), rest.end());
    const SERVICE_STATUS& stopped = seen.back();
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(has_state(seen, SERVICE_RUNNING), reaches_running);
    EXPECT_EQ(stopped.dwWin32ExitCode, exit_code);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, specific);
}
class service_wine : public ::testing::Test {
  protected:
    std::string in_folder(const std::string& name) const { return windows_path(folder / name); }
    std::string command_line(const std::string& program = windows_path(ORVO_EXECUTABLE)) const {
        return "\"" + program + "\" \"" + in_folder("settings.xml") + "\" extra-argument";
    }
    std::vector<std::string> standin_options(bool with_class) const {
        std::vector<std::string> options{"-Drecording.standin=" + windows_path(ORVO_STANDIN_JVM),
                                         "-Drecording.file=" + in_folder("record.txt")};
        if (with_class) {
            options.insert(options.end(),
                           {"-Dstandin.class=orvotest/Probe",
                            "-Dstandin.method=orvotest/Probe.start([Ljava/lang/String;)V",
                            "-Dstandin.method=orvotest/Probe.stop()V"});
        }
        return options;
    }
    // Index of the first record line that begins with `text`; npos when none does.
    std::size_t record_line(const std::string& text) const {
        const std::vector<std::string> lines = lines_of(read_file(folder / "record.txt"));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].compare(0, text.size(), text) == 0) {
                return i;
            }
        }
        return std::string::npos;
    }
    static std::vector<std::string> lines_of(const std::string& text) {
        std::vector<std::string> lines;
        std::string::size_type begin = 0;
        for (std::string::size_type end; (end = text.find('\n', begin)) != std::string::npos;
             begin = end + 1) {
            lines.push_back(text.substr(begin, end - begin));
        }
        return lines;
    }

    temp_dir folder;
};

TEST_F(service_wine, a_good_start_runs_answers_requests_and_stops_in_order) {
    write_file(folder / "out.log", "earlier out\r\n");
    write_file(folder / "err.log", "earlier err\r\n");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"),
                   windows_path(ORVO_RECORDING_JVM), standin_options(true));
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    const SERVICE_STATUS running = service.wait_while(is_starting).back();
    ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(running.dwControlsAccepted, 7u);
    EXPECT_EQ(running.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

    for (const DWORD code :
         {SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE}) {
        SERVICE_STATUS answer{};
        EXPECT_TRUE(service.control(code, answer)) << code << ": " << GetLastError();
        EXPECT_EQ(answer.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING)) << code;
        EXPECT_EQ(answer.dwControlsAccepted, 7u) << code;
    }

    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
    const SERVICE_STATUS stopped =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; }).back();
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwServiceSpecificExitCode, 0u);

    // The stop method, then the VM destroyed, then the library released, once.
    const std::size_t stop = record_line("CallStaticVoidMethod orvotest/Probe.stop");
    const std::size_t destroy = record_line("DestroyJavaVM");
    const std::size_t released = record_line("library released");
    ASSERT_NE(stop, std::string::npos) << read_file(folder / "record.txt");
    ASSERT_NE(destroy, std::string::npos) << read_file(folder / "record.txt");
    ASSERT_NE(released, std::string::npos) << read_file(folder / "record.txt");
    EXPECT_LT(stop, destroy);
    EXPECT_LT(destroy, released);
    EXPECT_NE(record_line("CallStaticVoidMethod orvotest/Probe.start"), std::string::npos);
    EXPECT_EQ(record_line("!!"), std::string::npos) << read_file(folder / "record.txt");

    EXPECT_EQ(read_file(folder / "out.log"), "earlier out\r\nrecording VM created\r\n");
    EXPECT_EQ(read_file(folder / "err.log"), "earlier err\r\n");
}

// orvo's line begins a line of its own, also after a log left mid-line.
TEST_F(service_wine, a_missing_jvm_library_stops_the_service_without_running) {
    for (const std::string earlier : {"earlier err\r\n", "earlier err"}) {
        SCOPED_TRACE(earlier);
        const std::string err_log = "err-" + std::to_string(earlier.size()) + ".log";
        write_file(folder / err_log, earlier);
        write_settings(folder / "settings.xml", in_folder("out.log"), in_folder(err_log),
                       in_folder("no-such-jvm.dll"), standin_options(true));
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        const std::vector<SERVICE_STATUS> seen =
            service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
        ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_NE(seen.back().dwWin32ExitCode, 0u);
        EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
        EXPECT_EQ(read_file(folder / err_log), "earlier err\r\nerror: couldn't load jvm.dll.\r\n");
    }
}

TEST_F(service_wine, one_log_named_for_both_streams_keeps_the_error_lines) {
    write_settings(folder / "settings.xml", in_folder("both.log"), in_folder("both.log"),
                   windows_path(ORVO_RECORDING_JVM), standin_options(false));
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    const std::vector<SERVICE_STATUS> seen =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    // The class is missing: a failed start, whose line reaches the one log.
    EXPECT_EQ(seen.back().dwWin32ExitCode, 1610u);
    EXPECT_EQ(read_file(folder / "both.log"), "recording VM created\r\n"
                                              "error: class \"orvotest/Probe\" not found.\r\n");
}

// Starts that cannot do their job: never running; where the Java VM is up it is stopped as
// a stop request would (stop pending first, the stop method only after a start method that
// ran), and the stopped report names the failure.
struct failed_start {
    const char* name;
    std::vector<std::string> options; // after the recording options, without the class
    const char* stop_timeout;
    DWORD exit_code;
    bool stops_java_vm; // stop pending is reported and the Java VM destroyed
    bool stop_method_called;
    const char* line; // the stderr log
};

const std::vector<std::string> probe_class = {
    "-Dstandin.class=orvotest/Probe", "-Dstandin.method=orvotest/Probe.start([Ljava/lang/String;)V",
    "-Dstandin.method=orvotest/Probe.stop()V"};

std::vector<std::string> with_probe(std::vector<std::string> more) {
    more.insert(more.begin(), probe_class.begin(), probe_class.end());
    return more;
}

// clang-format off
const failed_start failed_starts[] = {
    {"a class that is not there", {}, "", 1610, true, false,
     "error: class \"orvotest/Probe\" not found.\r\n"},
    {"no start method", {"-Dstandin.class=orvotest/Probe", "-Dstandin.method=orvotest/Probe.stop()V"}, "", 1610, true, false,
     "error: method \"start\" not found.\r\n"},
    {"a start method that throws", with_probe({"-Dstandin.throws=orvotest/Probe.start=java/net/BindException"}), "", 1064, true, true,
     "error: the start method \"start\" of \"orvotest/Probe\" threw java.net.BindException.\r\n"},
    {"a start method that throws, with a stop limit", with_probe({"-Dstandin.throws=orvotest/Probe.start"}), "20000", 1064, true, true,
     "error: the start method \"start\" of \"orvotest/Probe\" threw java.lang.RuntimeException.\r\n"},
    // Names reach orvo's line in UTF-8, beyond the basic plane too.
    {"a start method that throws with a name beyond the basic plane", with_probe({"-Dstandin.throws=orvotest/Probe.start=orvotest/\\u{418}\\u{43d}\\u{444}\\u{43e}$\\u{41e}\\u{448}\\u{438}\\u{431}\\u{43a}\\u{430}\\u{10400}"}), "", 1064, true, true,
     "error: the start method \"start\" of \"orvotest/Probe\" threw orvotest.Инфо$Ошибка𐐀.\r\n"},
    // Found, and its code failed: the program's failure, as a start method that threw.
    {"a class whose static initialiser throws", with_probe({"-Dstandin.throws=orvotest/Probe.<clinit>"}), "", 1064, true, false,
     "error: loading class \"orvotest/Probe\" threw java.lang.ExceptionInInitializerError.\r\n"},
    {"a thread that cannot be attached", with_probe({"-Dstandin.fail=AttachCurrentThread"}), "", 1627, true, false,
     "error: couldn't attach thread to JavaVM.\r\n"},
    {"parameters that cannot be made", with_probe({"-Dstandin.fail=NewObjectArray"}), "", 1627, true, false,
     "error: couldn't create parameters for method \"start\".\r\n"},
};
// clang-format on

TEST_F(service_wine, a_start_that_cannot_do_its_job_fails_with_its_reason) {
    for (const failed_start& failure : failed_starts) {
        SCOPED_TRACE(failure.name);
        const std::string index = std::to_string(&failure - failed_starts);
        const std::string record = "record-" + index + ".txt";
        std::vector<std::string> options = {"-Drecording.standin=" + windows_path(ORVO_STANDIN_JVM),
                                            "-Drecording.file=" + in_folder(record)};
        options.insert(options.end(), failure.options.begin(), failure.options.end());
        const std::string err_log = "err-" + index + ".log";
        write_settings(folder / "settings.xml", in_folder("out-" + index + ".log"),
                       in_folder(err_log), windows_path(ORVO_RECORDING_JVM), options, "",
                       failure.stop_timeout);
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        const std::vector<SERVICE_STATUS> seen =
            service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
        ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(seen.back().dwWin32ExitCode, failure.exit_code);
        EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
        for (const SERVICE_STATUS& status : seen) {
            if (status.dwCurrentState == SERVICE_STOP_PENDING && status.dwCheckPoint == 1) {
                EXPECT_EQ(status.dwWaitHint, failure.stop_timeout[0] != '\0'
                                                 ? std::stoul(failure.stop_timeout)
                                                 : 5000u);
            }
        }
        EXPECT_EQ(read_file(folder / err_log), failure.line);
        // The record is written once the service has released the library.
        service.process_exit_code();
        const std::string calls = read_file(folder / record);
        EXPECT_EQ(calls.find("CallStaticVoidMethod orvotest/Probe.stop") != std::string::npos,
                  failure.stop_method_called)
            << calls;
        EXPECT_NE(calls.find("DestroyJavaVM"), std::string::npos) << calls;
        EXPECT_EQ(calls.find("!!"), std::string::npos) << calls;
    }
}

// Where the program runs: a relative working directory (from the settings file's folder)
// holds the relative logs and the files that options name, and the env elements reach both
// the process's environment block and the Universal C runtime's copy, which a real Java
// VM reads while it is created. Names compare as Windows compares them.
TEST_F(service_wine, the_program_runs_in_the_working_directory_with_the_settings_env) {
    fs::create_directories(folder / "conf");
    fs::create_directories(folder / "app/logs");
    settings_document document;
    document.stdout_log = "logs\\out.log";
    document.stderr_log = "logs\\err.log";
    document.dll_path = windows_path(ORVO_RECORDING_JVM);
    document.options = {"-Drecording.standin=" + windows_path(ORVO_STANDIN_JVM),
                        "-Drecording.file=record.txt",
                        "-Dstandin.class=orvotest/Probe",
                        "-Dstandin.method=orvotest/Probe.start([Ljava/lang/String;)V",
                        "-Dstandin.method=orvotest/Probe.stop()V",
                        "-Dstandin.report=cwd",
                        "-Dstandin.report=env:ORVO_PROFILE",
                        "-Dstandin.report=env:ORVO_PATH",
                        "-Dstandin.report=env:ORVO_CASE",
                        "-Dstandin.report=env:TMP"};
    document.class_name = "orvotest/Probe";
    document.start_method = "start";
    document.stop_method = "stop";
    document.working_directory = "..\\app";
    document.env = {{"ORVO_PROFILE", "prod"},
                    {"ORVO_PATH", "native;${PATH}"},
                    {"orvo_case", "lower"},
                    {"ORVO_CASE", "upper"},
                    {"TMP", "-"}};
    write_file(folder / "conf/settings.xml", settings_xml(document));
    registered_service service("\"" + windows_path(ORVO_EXECUTABLE) + "\" \"" +
                               in_folder("conf\\settings.xml") + "\"");
    ASSERT_TRUE(service.start()) << GetLastError();
    ASSERT_EQ(service.wait_while(is_starting).back().dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
    service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    service.process_exit_code();
    const std::string record = read_file(folder / "app/record.txt");
    for (const std::string& line :
         {"report cwd " + in_folder("app"),
          std::string("report env ORVO_PROFILE os=\"prod\" ucrt=\"prod\""),
          std::string("report env ORVO_CASE os=\"upper\" ucrt=\"upper\""),
          std::string("report env TMP os=unset ucrt=unset")}) {
        EXPECT_NE(record.find(line + "\n"), std::string::npos) << line << "\n" << record;
    }
    EXPECT_NE(record.find("report env ORVO_PATH os=\"native;"), std::string::npos) << record;
    EXPECT_NE(record.find(" ucrt=\"native;"), std::string::npos) << record;
    EXPECT_EQ(read_file(folder / "app/logs/out.log"), "recording VM created\r\n");
}

// A working directory that cannot be entered fails the start before the logs are opened,
// with the system's code of the failed change.
TEST_F(service_wine, a_working_directory_that_cannot_be_entered_fails_the_start) {
    write_file(folder / "a-file", "");
    const std::pair<const char*, DWORD> cases[] = {{"no-such-folder", ERROR_FILE_NOT_FOUND},
                                                   {"a-file", ERROR_DIRECTORY}};
    for (const auto& [directory, code] : cases) {
        SCOPED_TRACE(directory);
        settings_document document;
        document.stdout_log = "out.log";
        document.stderr_log = "err.log";
        document.dll_path = windows_path(ORVO_RECORDING_JVM);
        document.working_directory = directory;
        write_file(folder / "settings.xml", settings_xml(document));
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        const std::vector<SERVICE_STATUS> seen =
            service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
        EXPECT_EQ(seen.back().dwWin32ExitCode, code);
        EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
        EXPECT_FALSE(fs::exists(folder / "out.log"));
    }
}

// A log that cannot be opened fails the start before the Java VM is created, with the
// system's code of the failed open.
TEST_F(service_wine, a_log_that_cannot_be_opened_fails_the_start_with_the_systems_code) {
    write_settings(folder / "settings.xml", in_folder("no-such-folder\\out.log"),
                   in_folder("err.log"), windows_path(ORVO_RECORDING_JVM), standin_options(true));
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    const std::vector<SERVICE_STATUS> seen =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(seen.back().dwWin32ExitCode, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
    EXPECT_FALSE(has_state(seen, SERVICE_STOP_PENDING));
    EXPECT_FALSE(fs::exists(folder / "err.log"));
    EXPECT_FALSE(fs::exists(folder / "record.txt")) << "no Java VM library loaded";
}

TEST_F(service_wine, settings_that_cannot_be_loaded_stop_the_service_with_1610) {
    write_file(folder / "settings.xml", "<settings/>");
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    const std::vector<SERVICE_STATUS> seen =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(seen.back().dwWin32ExitCode, 1610u);
    EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
}

// The Java VM refuses to start, or ends the process itself through the hooks it was given:
// while it is created, in the start or stop method, on a thread of its own while the
// service runs. A refused creation ends with 1627 whatever the VM left as the last error.
struct vm_end {
    const char* option;     // what the stand-in is told
    const char* also;       // one more thing it is told, or ""
    bool stop_once_running; // a stop request once running
    bool reaches_running;
    DWORD exit_code;
    DWORD specific;
    const char* line;
};

// clang-format off
const vm_end vm_ends[] = {
    {"-Dstandin.bogus=1", "", false, false, 1627, 0, "error: couldn't create JavaVM.\r\n"},
    {"-Dstandin.end=create:abort", "", false, false, 1627, 0, "error: couldn't create JavaVM.\r\n"},
    {"-Dstandin.end=create:exit:1", "", false, false, 1627, 0, "error: couldn't create JavaVM.\r\n"},
    {"-Dstandin.end=orvotest/Probe.start:exit:3", "", false, false, 1066, 3,
     "error: the Java VM exited with status 3.\r\n"},
    // Before running, the service never ran: a failed start, whatever the status.
    {"-Dstandin.end=orvotest/Probe.start:exit:0", "", false, false, 1067, 0,
     "error: the Java VM exited with status 0 before the service was running.\r\n"},
    {"-Dstandin.end=orvotest/Probe.stop:exit:0", "-Dstandin.throws=orvotest/Probe.start", false, false, 1067, 0,
     "error: the start method \"start\" of \"orvotest/Probe\" threw java.lang.RuntimeException.\r\n"
     "error: the Java VM exited with status 0 before the service was running.\r\n"},
    {"-Dstandin.end=orvotest/Probe.stop:exit:0", "", true, true, 0, 0,
     "error: the Java VM exited with status 0.\r\n"},
    {"-Dstandin.end=orvotest/Probe.stop:exit:-1", "", true, true, 1066, 4294967295u,
     "error: the Java VM exited with status -1.\r\n"},
    {"-Dstandin.end=event=orvo-test-end:exit:7", "", false, true, 1066, 7,
     "error: the Java VM exited with status 7.\r\n"},
};
// clang-format on

TEST_F(service_wine, the_java_vm_ending_the_process_is_reported_once) {
    for (const vm_end& end : vm_ends) {
        SCOPED_TRACE(std::string(end.option) + " " + end.also);
        std::vector<std::string> options = standin_options(true);
        options.push_back(end.option);
        if (end.also[0] != '\0') {
            options.push_back(end.also);
        }
        // Logs of its own: the last case's process may hold its logs a moment after its
        // stopped report.
        const std::string err_log = "err-" + std::to_string(&end - vm_ends) + ".log";
        const std::string out_log = "out-" + std::to_string(&end - vm_ends) + ".log";
        write_settings(folder / "settings.xml", in_folder(out_log), in_folder(err_log),
                       windows_path(ORVO_RECORDING_JVM), options);
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        std::vector<SERVICE_STATUS> seen = service.wait_while(is_start_pending);
        if (seen.back().dwCurrentState == SERVICE_RUNNING) {
            SERVICE_STATUS answer{};
            if (end.stop_once_running) {
                service.control(SERVICE_CONTROL_STOP, answer);
            } else if (const HANDLE event =
                           OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-test-end")) {
                SetEvent(event);
                CloseHandle(event);
            }
        }
        // A failed start goes through stop pending first.
        expect_end(service, seen, end.reaches_running, end.exit_code, end.specific);
        EXPECT_EQ(read_file(folder / err_log), end.line);
    }
}

TEST_F(service_wine, a_crash_of_the_java_vm_says_so_and_reports_nothing_more) {
    std::vector<std::string> options = standin_options(true);
    options.push_back("-Dstandin.end=event=orvo-test-crash:abort");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"),
                   windows_path(ORVO_RECORDING_JVM), options);
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    ASSERT_EQ(service.wait_while(is_starting).back().dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, service.process_id());
    ASSERT_NE(process, nullptr);
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-test-crash");
    ASSERT_NE(event, nullptr);
    SetEvent(event);
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(process, guard_milliseconds), WAIT_OBJECT_0);
    CloseHandle(process);
    // No stopped report: the service control manager sees a process that ended on its own.
    EXPECT_NE(service.query().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(read_file(folder / "err.log"), "error: the Java VM aborted.\r\n");
}

// A slow start or stop against start_timeout and stop_timeout: the control handler answers
// at once, the wait hints never promise more than is left, and a start or stop that runs
// out of time stops the service with 1053 close to its deadline.
struct slow_case {
    const char* name;
    const char* start_timeout;
    const char* stop_timeout;
    const char* end;  // the stand-in's -Dstandin.end= value, "" for none
    bool slow_stop;   // the stop method waits for the event orvo-test-slow
    DWORD exit_code;  // of the stopped report
    const char* line; // the whole stderr log
    DWORD limit_ms;   // the deadline that ends the service; 0 when none does
};

const slow_case slow_cases[] = {
    {"inside the budgets", "60000", "60000", "", false, 0, "", 0},
    {"a slow stop inside its budget", "60000", "20000", "orvotest/Probe.stop:wait=orvo-test-slow",
     true, 0, "", 0},
    {"a start that never returns", "1500", "", "orvotest/Probe.start:hang", false, 1053,
     "error: start did not complete within 1500 ms.\r\n", 1500},
    {"a stop that never returns", "", "1500", "orvotest/Probe.stop:hang", false, 1053,
     "error: stop did not complete within 1500 ms.\r\n", 1500},
    {"a destruction that never ends", "", "1500", "destroy:hang", false, 1053,
     "error: stop did not complete within 1500 ms.\r\n", 1500},
    {"a time limit that is no number", "", "soon", "", false, 1610, "", 0},
};

DWORD milliseconds_since(DWORD began) {
    return GetTickCount() - began;
}

// Every pending status seen asks for no more time than its setting gives.
void expect_honest_hints(const std::vector<SERVICE_STATUS>& seen, const slow_case& slow) {
    for (const SERVICE_STATUS& status : seen) {
        if (status.dwCurrentState == SERVICE_START_PENDING && status.dwCheckPoint == 3) {
            EXPECT_LE(status.dwWaitHint, std::stoul(slow.start_timeout));
        }
        if (status.dwCurrentState == SERVICE_STOP_PENDING) {
            EXPECT_LE(status.dwWaitHint, std::stoul(slow.stop_timeout));
        }
    }
}

TEST_F(service_wine, slow_starts_and_stops_are_reported_honestly_and_kept_to_their_deadline) {
    for (const slow_case& slow : slow_cases) {
        SCOPED_TRACE(slow.name);
        std::vector<std::string> options = standin_options(true);
        if (slow.end[0] != '\0') {
            options.push_back(std::string("-Dstandin.end=") + slow.end);
        }
        // Logs of its own: the last case's process may hold its logs a moment after its
        // stopped report.
        const std::string err_log = "err-" + std::to_string(&slow - slow_cases) + ".log";
        const std::string out_log = "out-" + std::to_string(&slow - slow_cases) + ".log";
        write_file(folder / err_log, "");
        write_settings(folder / "settings.xml", in_folder(out_log), in_folder(err_log),
                       windows_path(ORVO_RECORDING_JVM), options, slow.start_timeout,
                       slow.stop_timeout);
        registered_service service(command_line());
        DWORD requested = GetTickCount();
        ASSERT_TRUE(service.start()) << GetLastError();
        std::vector<SERVICE_STATUS> seen = service.wait_while(is_start_pending);
        if (seen.back().dwCurrentState == SERVICE_RUNNING) {
            SERVICE_STATUS answer{};
            requested = GetTickCount();
            ASSERT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
            EXPECT_LT(milliseconds_since(requested), 1000u) << "the handler must answer at once";
            EXPECT_EQ(answer.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
            EXPECT_EQ(answer.dwCheckPoint, 1u);
            EXPECT_EQ(answer.dwWaitHint, std::stoul(slow.stop_timeout));
            const std::vector<SERVICE_STATUS> rest =
                service.wait_while_status([&slow](const SERVICE_STATUS& status) {
                    return status.dwCurrentState != SERVICE_STOPPED &&
                           !(slow.slow_stop && status.dwCheckPoint >= 2);
                });
            seen.insert(seen.end(), rest.begin(), rest.end());
            if (slow.slow_stop) {
                EXPECT_GE(seen.back().dwCheckPoint, 2u) << "a stop under way shows progress";
                const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-test-slow");
                ASSERT_NE(event, nullptr);
                SetEvent(event);
                CloseHandle(event);
                const std::vector<SERVICE_STATUS> last =
                    service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
                seen.insert(seen.end(), last.begin(), last.end());
            }
        }
        const DWORD took = milliseconds_since(requested);
        ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(seen.back().dwWin32ExitCode, slow.exit_code);
        expect_honest_hints(seen, slow);
        // The stopped report carries the code; the process's own status is 0 after every end
        // but the Java program's exit, a deadline's too.
        const DWORD status = service.process_exit_code();
        EXPECT_TRUE(status == 0 || (status == STILL_ACTIVE && slow.exit_code == 1610)) << status;
        EXPECT_EQ(read_file(folder / err_log), slow.exit_code == 1610 ? "" : slow.line);
        if (slow.limit_ms != 0) {
            EXPECT_GE(took + 50, slow.limit_ms);    // GetTickCount's own steps
            EXPECT_LT(took, slow.limit_ms + 30000); // a bound for a busy machine
        }
    }
}

// The Java program talking to the service control manager through orvo.Service, on the
// stand-in: its progress is the next check-point with its wait hint (never beyond the
// start_timeout), a stop it asks for stops the service once with 1066 and its code as the
// service-specific one, or fails the start when asked for in the start method. The manager
// shows no words: status() answers false.
struct program_request {
    const char* name;
    const char* start_timeout;
    std::vector<std::string> options; // -Dstandin.call= and -Dstandin.end= values
    DWORD progress_check_point;       // wait in the start until this check-point shows; 0: no
    DWORD least_hint;                 // its wait hint, from least to most
    DWORD most_hint;
    bool ask_once_running; // set the event orvo-test-ask once running; else stop it
    DWORD exit_code;
    DWORD specific;
    bool reaches_running;
    std::vector<std::string> calls; // the record's lines of the calls, in order
    const char* line;               // the whole stderr log
};

// clang-format off
const program_request program_requests[] = {
    {"progress and words in the start", "",
     {"call=orvotest/Probe.start:starting(30000)", "call=orvotest/Probe.start:status(ready)",
      "call=orvotest/Probe.start:hosted()", "call=orvotest/Probe.start:stopping(1000)",
      "end=orvotest/Probe.start:wait=orvo-test-go"},
     3, 30000, 30000, false, 0, 0, true,
     {"call orvo/Service.starting(30000) -> true", "call orvo/Service.status(ready) -> false",
      "call orvo/Service.hosted() -> true", "call orvo/Service.stopping(1000) -> false"}, ""},
    {"progress beyond the start_timeout is the time left", "10000",
     {"call=orvotest/Probe.start:starting(600000)", "end=orvotest/Probe.start:wait=orvo-test-go"},
     4, 1, 10000, false, 0, 0, true, {"call orvo/Service.starting(600000) -> true"}, ""},
    {"a stop asked for while running", "",
     {"call=event=orvo-test-ask:requestStop(3)", "call=event=orvo-test-ask:requestStop(5)"},
     0, 0, 0, true, 1066, 3, true,
     {"call orvo/Service.requestStop(3) -> true", "call orvo/Service.requestStop(5) -> false"},
     "error: the Java program asked for a stop with exit code 3.\r\n"},
    {"a stop with 0 asked for while running", "", {"call=event=orvo-test-ask:requestStop(0)"},
     0, 0, 0, true, 0, 0, true, {"call orvo/Service.requestStop(0) -> true"}, ""},
    {"a stop asked for in the start method", "",
     {"call=orvotest/Probe.start:requestStop(5)", "call=orvotest/Probe.start:requestStop(256)"},
     0, 0, 0, false, 1066, 5, false,
     {"call orvo/Service.requestStop(5) -> true", "call orvo/Service.requestStop(256) -> false"},
     "error: the Java program asked for a stop with exit code 5 before the service was running.\r\n"},
    {"a stop with 0 asked for in the start method", "", {"call=orvotest/Probe.start:requestStop(0)"},
     0, 0, 0, false, 1067, 0, false, {"call orvo/Service.requestStop(0) -> true"},
     "error: the Java program asked for a stop with exit code 0 before the service was running.\r\n"},
};
// clang-format on

TEST_F(service_wine, the_programs_progress_and_stop_reach_the_service_control_manager) {
    for (const program_request& request : program_requests) {
        SCOPED_TRACE(request.name);
        std::vector<std::string> options = standin_options(true);
        for (const std::string& option : request.options) {
            options.push_back("-Dstandin." + option);
        }
        const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "orvo-test-go");
        const HANDLE ask = CreateEventA(nullptr, TRUE, FALSE, "orvo-test-ask");
        // Logs and record of its own: the last case's process may hold them a moment after
        // its stopped report.
        const std::string index = std::to_string(&request - program_requests);
        write_settings(folder / "settings.xml", in_folder("out-" + index + ".log"),
                       in_folder("err-" + index + ".log"), windows_path(ORVO_RECORDING_JVM),
                       options, request.start_timeout);
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        std::vector<SERVICE_STATUS> seen;
        if (request.progress_check_point != 0) {
            seen = service.wait_while_status([&request](const SERVICE_STATUS& status) {
                return status.dwCurrentState == SERVICE_START_PENDING &&
                       status.dwCheckPoint < request.progress_check_point;
            });
            const SERVICE_STATUS& progress = seen.back();
            EXPECT_EQ(progress.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
            EXPECT_EQ(progress.dwCheckPoint, request.progress_check_point);
            EXPECT_GE(progress.dwWaitHint, request.least_hint);
            EXPECT_LE(progress.dwWaitHint, request.most_hint);
            SetEvent(go);
        }
        const std::vector<SERVICE_STATUS> started = service.wait_while(is_start_pending);
        seen.insert(seen.end(), started.begin(), started.end());
        if (seen.back().dwCurrentState == SERVICE_RUNNING) {
            SERVICE_STATUS answer{};
            if (request.ask_once_running) {
                SetEvent(ask);
            } else {
                EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
            }
        }
        expect_end(service, seen, request.reaches_running, request.exit_code, request.specific);
        EXPECT_EQ(service.process_exit_code(), request.specific);
        // Check-points only grow while a state is pending.
        for (std::size_t i = 1; i < seen.size(); ++i) {
            if (seen[i].dwCurrentState == seen[i - 1].dwCurrentState &&
                seen[i].dwCurrentState != SERVICE_RUNNING) {
                EXPECT_GE(seen[i].dwCheckPoint, seen[i - 1].dwCheckPoint) << i;
            }
        }
        CloseHandle(go);
        CloseHandle(ask);
        const std::vector<std::string> record = lines_of(read_file(folder / "record.txt"));
        std::vector<std::string> calls;
        int stops = 0;
        for (const std::string& line : record) {
            if (line.rfind("call ", 0) == 0) {
                calls.push_back(line);
            }
            stops += line.rfind("CallStaticVoidMethod orvotest/Probe.stop", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(calls, request.calls);
        EXPECT_EQ(stops, 1) << "the stop method runs once";
        EXPECT_NE(record_line("DestroyJavaVM"), std::string::npos);
        EXPECT_NE(record_line("RegisterNatives orvo/Service"), std::string::npos);
        EXPECT_EQ(read_file(folder / ("err-" + index + ".log")), request.line);
    }
}

// With a stop_timeout the service also takes the preshutdown control, and takes it as a stop:
// stop pending with the whole stop_timeout, progress while the stop method runs, stopped
// with 0 once the stop method has run and the VM is gone. (Without one, every report
// accepts 7, as the other tests see.)
TEST_F(service_wine, preshutdown_with_a_stop_timeout_runs_the_stop_path) {
    std::vector<std::string> options = standin_options(true);
    options.push_back("-Dstandin.end=orvotest/Probe.stop:wait=orvo-test-slow");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"),
                   windows_path(ORVO_RECORDING_JVM), options, "", "60000");
    registered_service service(command_line(windows_path(ORVO_PRESHUTDOWN_PROBE)));
    ASSERT_TRUE(service.start());
    const SERVICE_STATUS running = service.wait_while(is_starting).back();
    ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(running.dwControlsAccepted, 7u | SERVICE_ACCEPT_PRESHUTDOWN);

    const HANDLE preshutdown = OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-test-preshutdown");
    ASSERT_NE(preshutdown, nullptr);
    SetEvent(preshutdown);
    CloseHandle(preshutdown);
    std::vector<SERVICE_STATUS> seen = service.wait_while_status([](const SERVICE_STATUS& status) {
        return status.dwCurrentState != SERVICE_STOPPED && status.dwCheckPoint < 2;
    });
    const SERVICE_STATUS progress = seen.back();
    ASSERT_EQ(progress.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_GE(progress.dwCheckPoint, 2u);
    EXPECT_LE(progress.dwWaitHint, 60000u);
    EXPECT_EQ(progress.dwControlsAccepted, 7u | SERVICE_ACCEPT_PRESHUTDOWN);
    const HANDLE slow = OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-test-slow");
    ASSERT_NE(slow, nullptr);
    SetEvent(slow);
    CloseHandle(slow);
    const SERVICE_STATUS stopped =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; }).back();
    ASSERT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    const std::size_t destroy = record_line("DestroyJavaVM");
    ASSERT_NE(destroy, std::string::npos) << read_file(folder / "record.txt");
    EXPECT_LT(record_line("CallStaticVoidMethod orvotest/Probe.stop"), destroy);
    EXPECT_NE(record_line("library released"), std::string::npos);
    EXPECT_EQ(read_file(folder / "err.log"), "");
}

TEST_F(service_wine, run_directly_it_prints_the_error_and_a_hint_and_ends_with_1063) {
    const std::string hint = "orvo: not started by a service manager: install it as a service "
                             "(orvo-service install NAME SETTINGS_FILE), or run it by hand with "
                             "orvo --console SETTINGS_FILE\r\n";
    // One file for both streams: the hint begins on a line of its own.
    const std::string console = in_folder("console.txt");
    EXPECT_EQ(run_program(command_line(), in_folder(""), console, console), 1063u);
    EXPECT_EQ(read_file(folder / "console.txt"), "Error: StartServiceCtrlDispatcher\r\n" + hint);
    EXPECT_EQ(
        run_program(command_line(), in_folder(""), in_folder("out.txt"), in_folder("err.txt")),
        1063u);
    EXPECT_EQ(read_file(folder / "out.txt"), "Error: StartServiceCtrlDispatcher");
    EXPECT_EQ(read_file(folder / "err.txt"), hint);
}

// orvo.exe --console ends with the service's exit code; its reports are lines on its
// standard error, and a log "-" leaves the stream there. (Ctrl-C: console_ctrl_c_test.py.)
struct console_end {
    const char* name;
    std::vector<std::string> options; // after the recording options
    const char* dll_path;             // "" for the recording VM
    DWORD exit_code;
    const char* last_line;
};

// clang-format off
const console_end console_ends[] = {
    {"a class that is not there", {}, "", 1610, "orvo: stopped (exit code 1610)\r\n"},
    {"no Java VM library", {}, "no-such-jvm.dll", ERROR_MOD_NOT_FOUND, "orvo: stopped (exit code 126)\r\n"},
    {"a start method that throws", with_probe({"-Dstandin.throws=orvotest/Probe.start"}), "", 1064,
     "orvo: stopped (exit code 1064)\r\n"},
    {"System.exit(7) in the start method", with_probe({"-Dstandin.end=orvotest/Probe.start:exit:7"}), "", 7,
     "orvo: stopped (exit code 1066, the Java program's status 7)\r\n"},
};
// clang-format on

TEST_F(service_wine, a_console_run_ends_with_the_services_exit_code) {
    for (const console_end& end : console_ends) {
        SCOPED_TRACE(end.name);
        std::vector<std::string> options = {"-Drecording.standin=" + windows_path(ORVO_STANDIN_JVM),
                                            "-Drecording.file=" + in_folder("record.txt")};
        options.insert(options.end(), end.options.begin(), end.options.end());
        write_settings(folder / "settings.xml", "-", "-",
                       end.dll_path[0] != '\0' ? in_folder(end.dll_path)
                                               : windows_path(ORVO_RECORDING_JVM),
                       options);
        const std::string command = "\"" + windows_path(ORVO_EXECUTABLE) + "\" --console \"" +
                                    in_folder("settings.xml") + "\"";
        EXPECT_EQ(run_program(command, in_folder(""), in_folder("out.txt"), in_folder("err.txt")),
                  end.exit_code);
        const std::string said = read_file(folder / "err.txt");
        const std::string first = "orvo: start pending (check-point 1)\r\n";
        const std::string last = end.last_line;
        EXPECT_EQ(said.compare(0, first.size(), first), 0) << said;
        ASSERT_GE(said.size(), last.size()) << said;
        EXPECT_EQ(said.substr(said.size() - last.size()), last) << said;
        EXPECT_EQ(said.find("orvo: running"), std::string::npos) << said;
        if (end.dll_path[0] == '\0') {
            EXPECT_EQ(read_file(folder / "out.txt"), "recording VM created\r\n");
        }
    }
}

// --- Logs that orvo writes itself: rotation, control 128, ends, sharing -----------------

// Sets the event NAME that a -Dstandin.write=event=NAME:... burst waits for, and waits
// for the burst to have been written: the program was not held up.
bool write_burst(const std::string& name) {
    const HANDLE asked = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
    const HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, (name + "-done").c_str());
    const bool written = asked != nullptr && done != nullptr && SetEvent(asked) &&
                         WaitForSingleObject(done, guard_milliseconds) == WAIT_OBJECT_0;
    for (const HANDLE event : {asked, done}) {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
    return written;
}

// Removes the folder `path` with the host's rm, under Wine, which keeps a file that a
// Windows program deletes while others hold it until they close it, and so its folder.
// True once it is gone.
bool remove_on_the_host(const std::string& path) {
    using unix_name_function = char*(CDECL*)(const wchar_t*);
    const auto unix_name = reinterpret_cast<unix_name_function>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    const std::wstring wide(path.begin(), path.end());
    char* host_path = unix_name != nullptr ? unix_name(wide.c_str()) : nullptr;
    if (host_path == nullptr) {
        return false;
    }
    std::string command = "/bin/rm -rf \"" + std::string(host_path) + "\"";
    HeapFree(GetProcessHeap(), 0, host_path);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // A host program's handle is never signalled: the folder going is the state to wait for.
    const DWORD began = GetTickCount();
    while (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - began < guard_milliseconds) {
        Sleep(20);
    }
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Two writers' 100 lines to each stream: in the start method, and each time write_burst()
// asks.
const std::vector<std::string> two_bursts = {"-Dstandin.write=orvotest/Probe.start:2:100",
                                             "-Dstandin.write=event=orvo-test-burst:2:100"};

class log_wine : public service_wine {
  protected:
    // Settings for the Probe on the stand-in, with these further options and its logs
    // out.log and err.log in `logs`.
    settings_document probe_settings(const temp_dir& logs,
                                     const std::vector<std::string>& more) const {
        settings_document document;
        document.stdout_log = windows_path(logs / "out.log");
        document.stderr_log = windows_path(logs / "err.log");
        document.dll_path = windows_path(ORVO_RECORDING_JVM);
        document.options = standin_options(true);
        document.options.insert(document.options.end(), more.begin(), more.end());
        document.class_name = "orvotest/Probe";
        document.start_method = "start";
        document.stop_method = "stop";
        return document;
    }
    // Starts orvo (or `program`) on `document`; false when it does not come to run.
    bool run(registered_service& service, const settings_document& document) {
        write_file(folder / "settings.xml", settings_xml(document));
        return service.start() &&
               service.wait_while(is_starting).back().dwCurrentState == SERVICE_RUNNING;
    }
    static void stop(registered_service& service) {
        SERVICE_STATUS answer{};
        EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
        EXPECT_EQ(service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; })
                      .back()
                      .dwWin32ExitCode,
                  0u);
        service.process_exit_code();
    }
};

// Bursts of lines from several threads at once, rotated by size many times: every line
// reaches exactly one file, whole and in its writer's order, across the rotated files
// sorted by name and the live one; max_files keeps the newest and nothing else is touched.
struct rotation_case {
    const char* name;
    const char* log_rotation;
    bool one_file;     // both streams to out.log
    const char* burst; // at the start method
    std::size_t writers;
    long lines;          // each writer's, every one kept; 0: only the newest files are kept
    std::size_t rotated; // at least this many rotated files of out.log, or exactly, with max_files
};

// clang-format off
const rotation_case rotation_cases[] = {
    {"a file for each stream", "max_size='1K'", false, "orvotest/Probe.start:4:1000", 4, 1000, 40},
    {"one file for both streams", "max_size='1K'", true, "orvotest/Probe.start:2:1000", 4, 1000, 40},
    {"lines just below 64 KiB, never split", "max_size='1K'", false, "orvotest/Probe.start:2:15:65000", 2, 15, 29},
    {"the newest three kept", "max_size='1K' max_files='3'", false, "orvotest/Probe.start:4:1000", 4, 0, 3},
};
// clang-format on

// Files beside the log whose names only look like those of its rotated files: never touched.
const char* const lookalikes[] = {"out-error.log", "out.old.log", "out.20240131-235959.042.log.gz"};

TEST_F(log_wine, rotation_by_size_keeps_every_line_once_in_order_and_whole) {
    for (const rotation_case& row : rotation_cases) {
        SCOPED_TRACE(row.name);
        temp_dir logs;
        for (const char* other : lookalikes) {
            write_file(logs / other, "kept\r\n");
        }
        settings_document document =
            probe_settings(logs, {std::string("-Dstandin.write=") + row.burst});
        document.stderr_log = windows_path(logs / (row.one_file ? "out.log" : "err.log"));
        document.log_rotation = row.log_rotation;
        registered_service service(command_line());
        ASSERT_TRUE(run(service, document));
        stop(service);
        const std::size_t rotated = rotated_files_of(logs.path().string(), "out.log").size();
        for (const char* other : lookalikes) {
            EXPECT_EQ(read_file(logs / other), "kept\r\n") << other;
        }
        if (row.lines == 0) {
            EXPECT_EQ(rotated, row.rotated);
            EXPECT_EQ(rotated_files_of(logs.path().string(), "err.log").size(), row.rotated);
            lines_of_log(logs.path().string(), "out.log").expect_counted_on(999);
            continue;
        }
        EXPECT_GE(rotated, row.rotated);
        const numbered_lines out = lines_of_log(logs.path().string(), "out.log");
        out.expect_counted_from_zero(row.writers, row.lines);
        if (row.one_file) {
            EXPECT_FALSE(fs::exists(logs / "err.log"));
            continue;
        }
        EXPECT_EQ(out.others, std::vector<std::string>{"recording VM created"});
        const numbered_lines err = lines_of_log(logs.path().string(), "err.log");
        err.expect_counted_from_zero(row.writers, row.lines);
        EXPECT_EQ(err.others, std::vector<std::string>{});
    }
}

// However the process ends right after a burst of output, every line is in the logs, and
// orvo's line about the end comes after them.
struct end_after_burst {
    const char* name;
    std::vector<std::string> options;
    const char* start_timeout;
    const char* stop_timeout;
    bool reaches_running; // and is then asked to stop
    bool crashes;         // in the stop method: the process ends without a stopped report
    DWORD exit_code;
    const char* line; // the stderr log's last line, or ""
};

// clang-format off
const end_after_burst ends_after_bursts[] = {
    {"a stop", {"-Dstandin.write=orvotest/Probe.stop:4:500"}, "", "", true, false, 0, ""},
    {"System.exit", {"-Dstandin.write=orvotest/Probe.start:4:500", "-Dstandin.end=orvotest/Probe.start:exit:3"}, "", "", false, false, 1066,
     "error: the Java VM exited with status 3."},
    {"a crash", {"-Dstandin.write=orvotest/Probe.stop:4:500", "-Dstandin.end=orvotest/Probe.stop:abort"}, "", "", true, true, 0,
     "error: the Java VM aborted."},
    {"a start deadline", {"-Dstandin.write=orvotest/Probe.start:4:500", "-Dstandin.end=orvotest/Probe.start:hang"}, "1500", "", false, false, 1053,
     "error: start did not complete within 1500 ms."},
    {"a stop deadline", {"-Dstandin.write=orvotest/Probe.stop:4:500", "-Dstandin.end=orvotest/Probe.stop:hang"}, "", "1500", true, false, 1053,
     "error: stop did not complete within 1500 ms."},
    {"a failed start", {"-Dstandin.write=orvotest/Probe.start:4:500", "-Dstandin.throws=orvotest/Probe.start"}, "", "", false, false, 1064,
     "error: the start method \"start\" of \"orvotest/Probe\" threw java.lang.RuntimeException."},
};
// clang-format on

TEST_F(log_wine, every_way_the_process_ends_drains_the_logs_first) {
    for (const end_after_burst& end : ends_after_bursts) {
        SCOPED_TRACE(end.name);
        temp_dir logs;
        settings_document document = probe_settings(logs, end.options);
        document.log_rotation = "max_size='1G'";
        document.start_timeout = end.start_timeout;
        document.stop_timeout = end.stop_timeout;
        write_file(folder / "settings.xml", settings_xml(document));
        registered_service service(command_line());
        ASSERT_TRUE(service.start()) << GetLastError();
        const DWORD process_id = service.process_id();
        const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
        std::vector<SERVICE_STATUS> seen = service.wait_while(is_start_pending);
        if (end.reaches_running) {
            ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
            SERVICE_STATUS answer{};
            service.control(SERVICE_CONTROL_STOP, answer);
        }
        if (process != nullptr) {
            EXPECT_EQ(WaitForSingleObject(process, guard_milliseconds), WAIT_OBJECT_0);
            CloseHandle(process);
        }
        if (!end.crashes) {
            const SERVICE_STATUS stopped =
                service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; }).back();
            EXPECT_EQ(stopped.dwWin32ExitCode, end.exit_code);
        }
        numbered_lines out;
        out.add(read_file(logs / "out.log"), "out.log");
        out.expect_counted_from_zero(4, 500);
        numbered_lines err;
        err.add(read_file(logs / "err.log"), "err.log");
        err.expect_counted_from_zero(4, 500);
        EXPECT_EQ(err.others, end.line[0] == '\0' ? std::vector<std::string>{}
                                                  : std::vector<std::string>{end.line});
    }
}

// Control 128 reopens the logs that orvo writes, as SIGUSR1 does on Linux, so that an
// operator's script can rename them first (the sharing lets it). Without rotation orvo
// does not write them itself, and 128 changes nothing, as before.
TEST_F(log_wine, control_128_after_an_outside_rename) {
    for (const bool captured : {true, false}) {
        SCOPED_TRACE(captured ? "with rotation" : "without rotation");
        temp_dir logs;
        settings_document document = probe_settings(logs, two_bursts);
        document.log_rotation = captured ? "max_size='1G'" : "";
        registered_service service(command_line());
        ASSERT_TRUE(run(service, document));
        ASSERT_TRUE(MoveFileExA(windows_path(logs / "out.log").c_str(),
                                windows_path(logs / "renamed.log").c_str(), 0))
            << GetLastError();
        SERVICE_STATUS answer{};
        EXPECT_TRUE(service.control(128, answer)) << GetLastError();
        EXPECT_EQ(answer.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        ASSERT_TRUE(write_burst("orvo-test-burst"));
        stop(service);
        numbered_lines before;
        before.add(read_file(logs / "renamed.log"), "renamed.log");
        numbered_lines after;
        after.add(read_file(logs / "out.log"), "out.log");
        if (captured) {
            before.expect_counted_from_zero(2, 100);
            after.expect_counted_from_zero(2, 100);
        } else {
            EXPECT_FALSE(fs::exists(logs / "out.log"));
            for (const auto& [writer, counted] : before.numbers) {
                EXPECT_EQ(counted.size(), 200u) << writer;
            }
        }
    }
}

// Local midnight, made to fall a few seconds into the run: both logs are rotated then,
// between two lines.
TEST_F(log_wine, daily_at_local_midnight) {
    for (const long lead : {5L, 40L}) {
        SCOPED_TRACE(lead);
        temp_dir logs;
        settings_document document = probe_settings(logs, two_bursts);
        document.log_rotation = "daily='true'";
        const long long midnight = static_cast<long long>(std::time(nullptr)) + lead;
        document.env = {{"ORVO_TEST_MIDNIGHT", std::to_string(midnight)}};
        registered_service service(command_line(windows_path(ORVO_MIDNIGHT_PROBE)));
        ASSERT_TRUE(run(service, document));
        if (static_cast<long long>(std::time(nullptr)) >= midnight) {
            stop(service); // too busy a machine: the logs may have been opened after midnight
            continue;
        }
        const DWORD began = GetTickCount();
        while ((rotated_files_of(logs.path().string(), "out.log").empty() ||
                rotated_files_of(logs.path().string(), "err.log").empty()) &&
               GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
        }
        ASSERT_TRUE(write_burst("orvo-test-burst"));
        stop(service);
        const std::vector<std::string> out = rotated_files_of(logs.path().string(), "out.log");
        const std::vector<std::string> err = rotated_files_of(logs.path().string(), "err.log");
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(err.size(), 1u);
        EXPECT_NE(out[0].find("-0000"), std::string::npos) << out[0];
        for (const std::string& file : {out[0], err[0], logs / "out.log", logs / "err.log"}) {
            numbered_lines lines;
            lines.add(read_file(file), file);
            lines.expect_counted_from_zero(2, 100);
        }
        return;
    }
    FAIL() << "no run began before its midnight";
}

// The stdout log's folder removed under the running service and made again: the program is
// never held up, what could not be written is counted, and once writing works again the
// stderr log says how much.
TEST_F(log_wine, a_log_folder_removed_and_made_again) {
    fs::create_directories(folder / "logs");
    settings_document document = probe_settings(folder, two_bursts);
    document.stdout_log = in_folder("logs\\out.log");
    document.log_rotation = "max_size='1G'";
    registered_service service(command_line());
    ASSERT_TRUE(run(service, document));
    // Removed as a script on the host may remove it: the open file loses its name.
    ASSERT_TRUE(remove_on_the_host(in_folder("logs")));
    ASSERT_TRUE(write_burst("orvo-test-burst"));
    ASSERT_TRUE(CreateDirectoryA(in_folder("logs").c_str(), nullptr));
    const DWORD began = GetTickCount();
    while (!fs::exists(folder / "logs/out.log") && GetTickCount() - began < guard_milliseconds) {
        ASSERT_TRUE(write_burst("orvo-test-burst"));
    }
    ASSERT_TRUE(write_burst("orvo-test-burst"));
    stop(service);
    numbered_lines err;
    err.add(read_file(folder / "err.log"), "err.log");
    ASSERT_EQ(err.others.size(), 1u);
    const std::string& line = err.others[0];
    EXPECT_EQ(line.rfind("error: ", 0), 0u) << line;
    EXPECT_NE(line.find(" bytes of standard output could not be written: "), std::string::npos)
        << line;
    EXPECT_GE(std::stoul(line.substr(7)), 200u * 8) << line; // a burst's lines at least
    // The last burst reached the new file whole.
    numbered_lines out;
    out.add(read_file(folder / "logs/out.log"), "out.log");
    for (const auto& [writer, counted] : out.numbers) {
        ASSERT_GE(counted.size(), 100u) << writer;
        EXPECT_EQ(std::vector<long>(counted.end() - 100, counted.end()).front(), 0) << writer;
    }
}

// orvo's own line begins a line of its own behind the pipe too, after a log that a program
// left mid-line.
TEST_F(log_wine, orvos_line_begins_a_line_of_its_own_in_a_log_it_writes) {
    temp_dir logs;
    write_file(logs / "err.log", "earlier err");
    settings_document document = probe_settings(logs, {});
    document.dll_path = in_folder("no-such-jvm.dll");
    document.log_rotation = "max_size='1G'";
    write_file(folder / "settings.xml", settings_xml(document));
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    EXPECT_NE(service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; })
                  .back()
                  .dwWin32ExitCode,
              0u);
    service.process_exit_code();
    EXPECT_EQ(read_file(logs / "err.log"), "earlier err\r\nerror: couldn't load jvm.dll.\r\n");
}

// Others may read, rename and delete the logs while the service writes them, with or
// without rotation; a reader that itself allows read sharing only is refused, and holding
// a log so makes the next start fail with the sharing violation.
TEST_F(log_wine, the_logs_are_shared_for_reading_renaming_and_deleting) {
    for (const char* rotation : {"", "max_size='1G'"}) {
        SCOPED_TRACE(rotation);
        temp_dir logs;
        settings_document document = probe_settings(logs, {});
        document.log_rotation = rotation;
        registered_service service(command_line());
        ASSERT_TRUE(run(service, document));
        const HANDLE follower = CreateFileA(windows_path(logs / "out.log").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(follower, INVALID_HANDLE_VALUE) << GetLastError();
        CloseHandle(follower);
        const HANDLE strict = CreateFileA(windows_path(logs / "out.log").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(strict, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(MoveFileExA(windows_path(logs / "err.log").c_str(),
                                windows_path(logs / "err.old").c_str(), 0))
            << GetLastError();
        EXPECT_TRUE(DeleteFileA(windows_path(logs / "err.old").c_str())) << GetLastError();
        stop(service);
    }
    temp_dir logs;
    const HANDLE holder = CreateFileA(windows_path(logs / "err.log").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    settings_document document = probe_settings(logs, {});
    write_file(folder / "settings.xml", settings_xml(document));
    registered_service service(command_line());
    ASSERT_TRUE(service.start()) << GetLastError();
    EXPECT_EQ(service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; })
                  .back()
                  .dwWin32ExitCode,
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(holder);
}

// --- A Java runtime's layout, and orvo-check's explanations ------------------------------

// An environment variable set for the test, as it was afterwards.
class environment_variable {
  public:
    environment_variable(const char* name, const std::string& value) : name_(name) {
        char old[4096];
        const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = length > 0 && length < sizeof old;
        old_.assign(old, had_ ? length : 0);
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~environment_variable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
    environment_variable(const environment_variable&) = delete;
    environment_variable& operator=(const environment_variable&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// A runtime registered as a JDK installer registers it, removed afterwards.
class registered_runtime {
  public:
    registered_runtime(const std::string& version, const std::string& home)
        : key_("SOFTWARE\\JavaSoft\\JDK\\" + version) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                            KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot create " + key_);
        }
        RegSetValueExA(key, "JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                       static_cast<DWORD>(home.size() + 1));
        RegCloseKey(key);
    }
    ~registered_runtime() { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), KEY_WOW64_64KEY, 0); }
    registered_runtime(const registered_runtime&) = delete;
    registered_runtime& operator=(const registered_runtime&) = delete;

  private:
    std::string key_;
};

class runtime_layout : public service_wine {
  protected:
    // jdk\bin\server\jvm.dll, whose C runtime stand-in is only in jdk\bin, beside the native
    // library that the VM loads later and the other C runtime stand-in that one needs; and
    // the two programs in app\, a folder of their own. No copy of the stand-ins is anywhere
    // the system looks by itself.
    void SetUp() override {
        for (const char* sub : {"jdk/bin/server", "app"}) {
            fs::create_directories(folder.path() / sub);
        }
        copy(ORVO_RUNTIME_JVM, "jdk/bin/server/jvm.dll");
        copy(ORVO_STANDIN_CRT, "jdk/bin/orvo_standin_crt.dll");
        copy(ORVO_STANDIN_LATE_CRT, "jdk/bin/orvo_standin_late_crt.dll");
        copy(ORVO_STANDIN_NATIVE, "jdk/bin/orvo_standin_native.dll");
        copy(ORVO_EXECUTABLE, "app/orvo.exe");
        copy(ORVO_CHECK, "app/orvo-check.exe");
    }
    void copy(const char* from, const std::string& to) const {
        fs::copy_file(windows_path(from), windows_path(folder / to));
    }
    std::vector<std::string> runtime_options() const {
        std::vector<std::string> options = standin_options(true);
        options.push_back("-Drecording.load=" + in_folder("jdk/bin/orvo_standin_native.dll"));
        return options;
    }
    // Settings for orvo-check.exe that it has nothing to warn about: its standard error
    // then holds only what the dry run says.
    void write_check_settings(const std::string& dll_path,
                              const std::vector<std::string>& options) const {
        write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"),
                       dll_path, options, "60000", "60000");
    }
    // orvo-check.exe on the settings; its exit code, with what it wrote in out.txt, err.txt.
    DWORD run_check(const std::string& arguments) const {
        return run_program("\"" + in_folder("app/orvo-check.exe") + "\" " + arguments + " \"" +
                               in_folder("settings.xml") + "\"",
                           in_folder(""), in_folder("out.txt"), in_folder("err.txt"));
    }
};

TEST_F(runtime_layout, the_service_loads_a_runtimes_jvm_dll_and_later_libraries_with_bins_dlls) {
    const std::string jvm = in_folder("jdk/bin/server/jvm.dll");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"), jvm,
                   runtime_options());
    registered_service service(command_line(in_folder("app/orvo.exe")));
    ASSERT_TRUE(service.start()) << GetLastError();
    ASSERT_EQ(service.wait_while([](DWORD state) { return state == SERVICE_START_PENDING; })
                  .back()
                  .dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING))
        << read_file(folder / "err.log");
    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer)) << GetLastError();
    const SERVICE_STATUS stopped =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; }).back();
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    // The line comes from the C runtime stand-in, through jvm.dll's import.
    EXPECT_EQ(read_file(folder / "out.log"), "recording VM created\r\n");
    EXPECT_EQ(read_file(folder / "err.log"), "");
    EXPECT_NE(record_line("library released"), std::string::npos)
        << read_file(folder / "record.txt");
}

TEST_F(runtime_layout, orvo_check_loads_it_too_and_names_the_import_that_cannot_be_found) {
    const std::string jvm = in_folder("jdk/bin/server/jvm.dll");
    write_check_settings(jvm, runtime_options());
    EXPECT_EQ(run_check("--jvm"), 0u) << read_file(folder / "err.txt");
    EXPECT_NE(read_file(folder / "out.txt").find("\r\njvm: created\r\n"), std::string::npos)
        << read_file(folder / "out.txt");

    fs::remove(folder.path() / "jdk/bin/orvo_standin_crt.dll");
    EXPECT_EQ(run_check("--jvm"), 1u);
    const std::string err = read_file(folder / "err.txt");
    const std::string note = jvm + ": note: ";
    EXPECT_EQ(err.find("error: couldn't load jvm.dll.\r\n" + note + "the system says: "), 0u)
        << err;
    EXPECT_NE(err.find(" (error 126)\r\n" + note +
                       "the file is a 64-bit x86 DLL, the kind orvo loads\r\n" + note +
                       "it imports orvo_standin_crt.dll, which is in none of the folders "
                       "searched:\r\n  " +
                       in_folder("jdk\\bin\\server") + "\r\n  " + in_folder("jdk\\bin") + "\r\n"),
              std::string::npos)
        << err;

    EXPECT_EQ(run_check("--json --jvm"), 1u);
    const std::string json = read_file(folder / "out.txt");
    EXPECT_NE(json.find("\"missing_import\": [\r\n        \"orvo_standin_crt.dll\"\r\n      ]"),
              std::string::npos)
        << json;
}

TEST_F(runtime_layout, orvo_check_says_what_a_file_is_and_where_a_loadable_jvm_dll_is) {
    fs::create_directories(folder.path() / "registered/bin/server");
    copy(ORVO_RUNTIME_JVM, "registered/bin/server/jvm.dll");
    const environment_variable java_home("JAVA_HOME", in_folder("jdk"));
    const std::string version = folder.path().filename().string();
    const registered_runtime registered(version, in_folder("registered"));
    write_file(folder / "x86.dll", orvo_test::pe_image(0x14c, true, false));
    write_file(folder / "arm64.dll", orvo_test::pe_image(0xaa64, true, true));
    write_file(folder / "notes.txt", "not a library\r\n");
    const std::string only = "; orvo loads only a 64-bit x86 DLL: name the bin\\server\\jvm.dll of "
                             "a 64-bit x86 JDK or JRE\r\n";
    struct broken {
        std::string dll_path;
        std::string note;
    };
    const broken cases[] = {
        {in_folder("x86.dll"), "the file is a 32-bit x86 DLL" + only},
        {in_folder("arm64.dll"), "the file is an ARM64 DLL" + only},
        {in_folder("notes.txt"), "the file is not a library at all: neither a Windows DLL nor an "
                                 "ELF shared library" +
                                     only},
        {in_folder("missing\\jvm.dll"), "there is no such file; name the bin\\server\\jvm.dll"},
    };
    for (const broken& c : cases) {
        write_check_settings(c.dll_path, {});
        EXPECT_EQ(run_check("--jvm"), 1u) << c.dll_path;
        const std::string err = read_file(folder / "err.txt");
        const std::string note = c.dll_path + ": note: ";
        EXPECT_EQ(err.find("error: couldn't load jvm.dll.\r\n" + note + "the system says: "), 0u)
            << err;
        EXPECT_NE(err.find("\r\n" + note + c.note), std::string::npos) << err;
        EXPECT_NE(err.find("\r\nnote: a Java VM library is at " +
                           in_folder("jdk\\bin\\server\\jvm.dll") +
                           " (JAVA_HOME)\r\nnote: a Java VM "
                           "library is at " +
                           in_folder("registered\\bin\\server\\jvm.dll") +
                           " (HKLM\\SOFTWARE\\JavaSoft\\JDK\\" + version + ")\r\n"),
                  std::string::npos)
            << err;
    }
}

// --- orvo-service: install, show, remove --------------------------------------------------

// What the service control manager holds for a service, read back as any program would.
struct registered_config {
    bool exists = false;
    std::string command_line;
    std::string account;
    std::string display_name;
    std::string description;
    DWORD start_type = 0;
    bool delayed = false;
    std::optional<DWORD> preshutdown_ms;
    // Wine's QueryServiceConfig gives no dependencies: they are read from the registry.
    std::vector<std::string> dependencies;
};

std::string registry_text(const std::string& key, const char* value, DWORD type) {
    char data[4096] = {};
    DWORD size = sizeof data - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, type, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    return std::string(data, size);
}

// The manager's fields in UTF-8, as any program that reads them whole would.
registered_config read_config(const std::string& name) {
    registered_config config;
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        OpenServiceW(manager, platform::wide_text(name).c_str(), SERVICE_QUERY_CONFIG);
    config.exists = service != nullptr;
    if (service != nullptr) {
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        if (QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                static_cast<DWORD>(buffer.size()), &needed)) {
            const auto* info = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
            config.command_line = platform::utf8_text(info->lpBinaryPathName);
            config.account = platform::utf8_text(info->lpServiceStartName);
            config.display_name = platform::utf8_text(info->lpDisplayName);
            config.start_type = info->dwStartType;
        }
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed)) {
            config.description = platform::utf8_text(
                reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data())->lpDescription);
        }
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed)) {
            config.delayed = reinterpret_cast<SERVICE_DELAYED_AUTO_START_INFO*>(buffer.data())
                                 ->fDelayedAutostart;
        }
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed)) {
            config.preshutdown_ms =
                reinterpret_cast<SERVICE_PRESHUTDOWN_INFO*>(buffer.data())->dwPreshutdownTimeout;
        }
        const std::string list = registry_text("SYSTEM\\CurrentControlSet\\Services\\" + name,
                                               "DependOnService", RRF_RT_REG_MULTI_SZ);
        for (std::string::size_type begin = 0, end;
             begin < list.size() && (end = list.find('\0', begin)) != begin &&
             end != std::string::npos;
             begin = end + 1) {
            config.dependencies.push_back(list.substr(begin, end - begin));
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return config;
}

const char event_source_key[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\orvo";

// orvo.exe and orvo-service.exe in a folder with a space, the settings in another one, and
// every service that a test installs deleted afterwards.
class service_install : public service_wine {
  protected:
    void SetUp() override {
        for (const char* sub : {"my app", "my settings"}) {
            fs::create_directories(folder.path() / sub);
        }
        fs::copy_file(windows_path(ORVO_EXECUTABLE), windows_path(folder / "my app/orvo.exe"));
        fs::copy_file(windows_path(ORVO_SERVICE_TOOL),
                      windows_path(folder / "my app/orvo-service.exe"));
        settings = in_folder("my settings\\settings.xml");
    }
    void TearDown() override {
        const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        for (const char* name : {"orvo test", "orvo other", "orvo-plain"}) {
            if (const SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS)) {
                SERVICE_STATUS status{};
                ControlService(service, SERVICE_CONTROL_STOP, &status);
                DeleteService(service);
                CloseServiceHandle(service);
            }
        }
        CloseServiceHandle(manager);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, event_source_key);
    }
    // The Probe on the recording stand-in, its logs in a folder that does not exist yet:
    // named in full, or relative to a working directory, the folder above the settings',
    // which then holds the class path's folder too.
    void write_probe_settings(const std::string& stop_timeout, bool relative = false) const {
        settings_document document;
        if (relative) {
            fs::create_directories(folder.path() / "lib");
            write_file(folder / "lib/probe.jar", "");
            document.class_path = "lib\\*";
        }
        document.stop_timeout = stop_timeout;
        document.stdout_log = relative ? "my logs\\out.log" : in_folder("my logs\\out.log");
        document.stderr_log = relative ? "my logs\\err.log" : in_folder("my logs\\err.log");
        document.working_directory = relative ? ".." : "";
        document.dll_path = windows_path(ORVO_RECORDING_JVM);
        document.options = standin_options(true);
        document.class_name = "orvotest/Probe";
        document.start_method = "start";
        document.stop_method = "stop";
        document.parameters = {"alpha"};
        write_file(folder / "my settings/settings.xml", settings_xml(document));
    }
    // orvo-service with `arguments` (and `input` on its standard input); its exit code,
    // with what it wrote in out.txt, err.txt.
    DWORD run_tool(const std::string& arguments, const std::string& input = "") const {
        if (!input.empty()) {
            write_file(folder / "in.txt", input);
        }
        return run_program("\"" + in_folder("my app\\orvo-service.exe") + "\" " + arguments,
                           in_folder(""), in_folder("out.txt"), in_folder("err.txt"),
                           input.empty() ? "" : in_folder("in.txt"));
    }
    // The JSON object that orvo-service printed; a failure when it printed anything else.
    nlohmann::json out_json() const {
        const nlohmann::json answer = nlohmann::json::parse(out(), nullptr, false);
        EXPECT_TRUE(answer.is_object()) << out();
        return answer.is_object() ? answer : nlohmann::json::object();
    }
    std::string out() const { return read_file(folder / "out.txt"); }
    std::string err() const { return read_file(folder / "err.txt"); }
    std::string quoted_settings() const { return "\"" + settings + "\""; }

    std::string settings;
};

// Known before the service exists, so that its files can be checked and granted to it.
TEST(virtual_account, its_identifier_is_computed_as_windows_computes_it) {
    const char trusted_installer[] =
        "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    EXPECT_EQ(platform::virtual_account_sid("TrustedInstaller"), trusted_installer);
    EXPECT_EQ(platform::virtual_account_sid("trustedinstaller"), trusted_installer);
    EXPECT_EQ(platform::virtual_account_sid("MSSQLSERVER"),
              "S-1-5-80-3880718306-3832830129-1677859214-2598158968-1052248003");
}

struct install_case {
    const char* name;
    const char* options;
    const char* stop_timeout; // "" for none
    const char* account;
    DWORD start_type;
    bool delayed;
    const char* display_name;
    const char* description;
    std::vector<std::string> dependencies;
};

// clang-format off
const install_case install_cases[] = {
    {"orvo test", "", "20000", "NT SERVICE\\orvo test", SERVICE_AUTO_START, false, "orvo test",
     "Runs orvotest.Probe with orvo", {}},
    {"orvo test", "--display-name \"Probe server\" --description \"Answers probes\" --start manual "
     "--account LocalService --depends RpcSs --depends PlugPlay --no-recovery", "",
     "NT AUTHORITY\\LocalService", SERVICE_DEMAND_START, false, "Probe server", "Answers probes",
     {"RpcSs", "PlugPlay"}},
    {"orvo test", "--start delayed --account \"NT AUTHORITY\\NetworkService\"", "1", "NT AUTHORITY\\NetworkService",
     SERVICE_AUTO_START, true, "orvo test", "Runs orvotest.Probe with orvo", {}},
    {"orvo-plain", "--start disabled --account LocalSystem", "", "LocalSystem", SERVICE_DISABLED,
     false, "orvo-plain", "Runs orvotest.Probe with orvo", {}},
};
// clang-format on

TEST_F(service_install, installs_every_field_as_asked_and_warns_about_what_is_not_stored) {
    for (const install_case& c : install_cases) {
        SCOPED_TRACE(c.options);
        write_probe_settings(c.stop_timeout);
        ASSERT_EQ(run_tool("install \"" + std::string(c.name) + "\" " + quoted_settings() + " " +
                           c.options),
                  0u)
            << err();
        const registered_config config = read_config(c.name);
        ASSERT_TRUE(config.exists);
        EXPECT_EQ(config.command_line,
                  "\"" + in_folder("my app\\orvo.exe") + "\" " + quoted_settings());
        EXPECT_EQ(config.account, c.account);
        EXPECT_EQ(config.start_type, c.start_type);
        EXPECT_EQ(config.display_name, c.display_name);
        EXPECT_EQ(config.description, c.description);
        EXPECT_EQ(config.dependencies, c.dependencies);
        // What the manager refuses to store is named in a warning (Wine keeps no delayed
        // start and no recovery flag).
        if (c.delayed && !config.delayed) {
            EXPECT_NE(err().find("warning: the delayed start"), std::string::npos) << err();
        }
        const bool recovery = std::string(c.options).find("--no-recovery") == std::string::npos;
        EXPECT_EQ(out().find("\r\n  recovery: restart after 5 s") != std::string::npos, recovery)
            << out();
        if (c.stop_timeout[0] != '\0') {
            ASSERT_TRUE(config.preshutdown_ms.has_value());
            EXPECT_EQ(*config.preshutdown_ms, std::stoul(c.stop_timeout) + 10000);
        }
        EXPECT_EQ(fs::is_directory(folder.path() / "my logs"), true);
        EXPECT_STREQ(registry_text(event_source_key, "EventMessageFile",
                                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND)
                         .c_str(),
                     in_folder("my app\\orvo.exe").c_str());
        ASSERT_EQ(run_tool("remove \"" + std::string(c.name) + "\""), 0u) << err();
        EXPECT_FALSE(read_config(c.name).exists);
    }
}

// A user of this machine is named as the manager names it; a password that cannot be read
// (no console, nothing on standard input) installs nothing; one read from a standard input
// that is no console ends the prompt's line; without one, the service could never log on.
TEST_F(service_install, a_user_account_is_named_with_its_domain_and_needs_its_password) {
    char user[256];
    DWORD user_size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &user_size));
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof sid;
    char domain[256];
    DWORD domain_size = sizeof domain;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountNameA(nullptr, user, sid, &sid_size, domain, &domain_size, &use));
    write_probe_settings("");
    const std::string account = std::string(" --account .\\") + user;
    EXPECT_EQ(
        run_tool("install \"orvo test\" " + quoted_settings() + account + " --password-prompt"),
        1u);
    EXPECT_NE(err().find("no password could be read"), std::string::npos) << err();
    EXPECT_FALSE(read_config("orvo test").exists);
    const std::string named = std::string(domain) + "\\" + user;
    const std::string without_password = "error 1069";
    EXPECT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + account + " --strict"), 1u);
    EXPECT_NE(err().find("warning: the account " + named), std::string::npos) << err();
    EXPECT_NE(err().find(without_password), std::string::npos) << err();
    EXPECT_FALSE(read_config("orvo test").exists);
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + account), 0u) << err();
    EXPECT_NE(err().find(without_password), std::string::npos) << err();
    EXPECT_EQ(read_config("orvo test").account, named);
    ASSERT_EQ(run_tool("remove \"orvo test\""), 0u) << err();
    ASSERT_EQ(
        run_tool("install \"orvo test\" " + quoted_settings() + account + " --password-prompt",
                 "secret\r\n"),
        0u)
        << err();
    EXPECT_NE(err().find("password of " + named + ": \r\n"), std::string::npos) << err();
    EXPECT_EQ(err().find(without_password), std::string::npos) << err();
}

TEST_F(service_install, an_installed_service_runs_shows_and_is_removed_with_its_event_source) {
    write_probe_settings("20000", true);
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings()), 0u) << err();
    EXPECT_NE(out().find("orvo-service remove \"orvo test\""), std::string::npos) << out();
    // The relative logs lead into the working directory, as the service will take them; their
    // folder is made, and said once, in full.
    EXPECT_NE(out().find("created the log folder " + in_folder("my logs") + "\r\n"),
              std::string::npos)
        << out();
    EXPECT_NE(out().find("granted NT SERVICE\\orvo test modify access to " + in_folder("my logs") +
                         "\r\n"),
              std::string::npos)
        << out();
    EXPECT_EQ(err().find("does not exist"), std::string::npos) << err();
    // The class path's folder, named relative to the working directory, is said in full.
    EXPECT_NE(err().find("warning: " + in_folder("lib") + " can be changed by "), std::string::npos)
        << err();
    EXPECT_EQ((out() + err()).find("\\.."), std::string::npos) << out() << err();
    // orvo-check's warnings about the file come first, at their line.
    EXPECT_EQ(err().find(settings + ":"), 0u) << err();
    EXPECT_NE(err().find(": warning: there is no start_timeout"), std::string::npos) << err();
    // Under Wine every file may be changed by the user that runs Wine.
    EXPECT_NE(err().find("warning: " + settings + " can be changed by "), std::string::npos)
        << err();
    ASSERT_EQ(run_tool("install \"orvo other\" " + quoted_settings() + " --start manual"), 0u)
        << err();
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        OpenServiceA(manager, "orvo test", SERVICE_START | SERVICE_QUERY_STATUS);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    SERVICE_STATUS status{};
    const DWORD began = GetTickCount();
    while (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_START_PENDING &&
           GetTickCount() - began < guard_milliseconds) {
        Sleep(20);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    ASSERT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
        << read_file(folder / "my logs/err.log");
    EXPECT_EQ(status.dwControlsAccepted, 7u | SERVICE_ACCEPT_PRESHUTDOWN);

    ASSERT_EQ(run_tool("show \"orvo test\""), 0u) << err();
    for (const std::string& line :
         {"command line: \"" + in_folder("my app\\orvo.exe") + "\" " + quoted_settings(),
          "settings file: " + settings, std::string("account: NT SERVICE\\orvo test"),
          std::string("start: auto"), std::string("preshutdown timeout: 30000 ms"),
          std::string("state: running (process ")}) {
        EXPECT_NE(out().find("\r\n" + line), std::string::npos) << line << "\n" << out();
    }

    // The stop method runs before the service goes; the logs and the settings stay, and so
    // does the event source while another service runs orvo.
    ASSERT_EQ(run_tool("remove \"orvo test\""), 0u) << err();
    EXPECT_FALSE(read_config("orvo test").exists);
    EXPECT_NE(record_line("CallStaticVoidMethod orvotest/Probe.stop"), std::string::npos);
    EXPECT_NE(out().find("left in place: the log " + in_folder("my logs\\out.log") + "\r\n"),
              std::string::npos)
        << out();
    EXPECT_EQ(read_file(folder / "my logs/out.log"), "recording VM created\r\n");
    EXPECT_TRUE(fs::exists(folder.path() / "my settings/settings.xml"));
    EXPECT_NE(registry_text(event_source_key, "TypesSupported", RRF_RT_REG_DWORD), "");
    ASSERT_EQ(run_tool("remove \"orvo other\""), 0u) << err();
    EXPECT_EQ(registry_text(event_source_key, "TypesSupported", RRF_RT_REG_DWORD), "");
    EXPECT_EQ(run_tool("show \"orvo other\""), 1u);
    EXPECT_EQ(run_tool("remove \"orvo other\""), 1u);
}

struct refusal {
    const char* name;
    const char* settings; // "" for the Probe's good settings
    const char* options;
    DWORD exit_code;
    const char* says;
};

// clang-format off
const refusal refusals[] = {
    {"settings that do not load", "<settings/>", "", 1, "error: only \"setting\" could exist at root"},
    {"no settings file", "absent", "", 1, "error: there is no settings file"},
    {"a JVM library that does not load", "missing-jvm", "", 1, "error: couldn't load jvm.dll."},
    {"--strict with a file others may change", "", "--strict", 1, "--strict"},
    {"an account that does not exist", "", "--account nobody-at-all", 1, "nobody-at-all"},
    {"a dependency that does not exist", "", "--depends no-such-service", 1, "no-such-service"},
    {"a start type that does not exist", "", "--start sometimes", 2, "usage:"},
    {"a password for a built-in account", "", "--account LocalService --password-prompt", 2, "usage:"},
    {"an option twice", "", "--description a --description b", 2, "usage:"},
};
// clang-format on

TEST_F(service_install, every_refusal_leaves_nothing_registered) {
    for (const refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        if (std::string(r.settings) == "absent") {
            fs::remove(folder.path() / "my settings/settings.xml");
        } else if (std::string(r.settings) == "missing-jvm") {
            write_settings(folder / "my settings/settings.xml", "", "", in_folder("none\\jvm.dll"),
                           {});
        } else if (r.settings[0] != '\0') {
            write_file(folder / "my settings/settings.xml", r.settings);
        } else {
            write_probe_settings("");
        }
        EXPECT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + " " + r.options),
                  r.exit_code);
        EXPECT_NE(err().find(r.says), std::string::npos) << err();
        EXPECT_FALSE(read_config("orvo test").exists);
        EXPECT_EQ(registry_text(event_source_key, "TypesSupported", RRF_RT_REG_DWORD), "");
        EXPECT_FALSE(fs::exists(folder.path() / "my logs"));
    }
    // A name that is taken keeps its service as it was.
    write_probe_settings("");
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + " --display-name first"), 0u);
    EXPECT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + " --display-name second"),
              1u);
    EXPECT_EQ(read_config("orvo test").display_name, "first");
}

TEST_F(service_install, orvo_exe_carries_the_event_messages_the_event_viewer_shows) {
    const HMODULE orvo =
        LoadLibraryExA(in_folder("my app\\orvo.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(orvo, nullptr);
    const char* line = "error: couldn't open log file \"C:\\logs\\out.log\": Access is denied.";
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(line)};
    char text[512] = {};
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, orvo, 1, 0, text, sizeof text,
        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
    FreeLibrary(orvo);
    EXPECT_EQ(std::string(text, length), line);
}

// --- orvo-service apply and show --json ---------------------------------------------------

bool same_config(const registered_config& a, const registered_config& b) {
    return a.exists == b.exists && a.command_line == b.command_line && a.account == b.account &&
           a.display_name == b.display_name && a.description == b.description &&
           a.start_type == b.start_type && a.delayed == b.delayed &&
           a.preshutdown_ms == b.preshutdown_ms && a.dependencies == b.dependencies;
}

SERVICE_STATUS_PROCESS status_of(const std::string& name) {
    SERVICE_STATUS_PROCESS status{};
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof status, &needed);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status;
}

// Starts the installed service `name` and, with `settle`, waits until it is neither starting
// nor stopping; its process.
DWORD start_installed(const std::string& name, bool settle = true) {
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_START);
    const bool started = StartServiceA(service, 0, nullptr) != FALSE;
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    EXPECT_TRUE(started) << GetLastError();
    const DWORD began = GetTickCount();
    SERVICE_STATUS_PROCESS status = status_of(name);
    while (settle &&
           (status.dwCurrentState == SERVICE_START_PENDING ||
            status.dwCurrentState == SERVICE_STOP_PENDING) &&
           GetTickCount() - began < guard_milliseconds) {
        Sleep(20);
        status = status_of(name);
    }
    return status.dwProcessId;
}

std::vector<std::string> changed_names(const nlohmann::json& answer) {
    std::vector<std::string> names;
    for (const nlohmann::json& change : answer.value("changes", nlohmann::json::array())) {
        names.push_back(change.value("field", ""));
    }
    return names;
}

// One option of install changed at a time: exactly its field changes, read back as asked.
struct one_change {
    const char* options;
    const char* field;
    bool (*took)(const registered_config&);
};

// clang-format off
const one_change one_changes[] = {
    {"--display-name \"Probe server\"", "display_name", [](const registered_config& c) { return c.display_name == "Probe server"; }},
    {"--description \"Answers probes\"", "description", [](const registered_config& c) { return c.description == "Answers probes"; }},
    {"--start manual", "start_type", [](const registered_config& c) { return c.start_type == SERVICE_DEMAND_START; }},
    {"--account LocalService", "account", [](const registered_config& c) { return c.account == "NT AUTHORITY\\LocalService"; }},
    {"--depends RpcSs --depends +NetworkProvider", "dependencies", [](const registered_config& c) { return c.dependencies == std::vector<std::string>{"RpcSs"}; }},
};
// clang-format on

TEST_F(service_install, apply_installs_what_is_missing_then_changes_only_what_differs) {
    write_probe_settings("20000");
    const std::string apply = "apply \"orvo test\" " + quoted_settings() + " --json";
    ASSERT_EQ(run_tool(apply), 0u) << out() << err();
    const nlohmann::json installed = out_json();
    EXPECT_EQ(err(), "") << "JSON mode says everything in its one object";
    EXPECT_EQ(installed.value("service", ""), "orvo test");
    EXPECT_EQ(installed.value("changed", false), true);
    EXPECT_EQ(installed.value("restart_required", true), false);
    for (const nlohmann::json& change : installed["changes"]) {
        EXPECT_TRUE(change["from"].is_null()) << change.dump();
    }
    const std::vector<std::string> fields = changed_names(installed);
    for (const char* field : {"command_line", "account", "grants", "event_source"}) {
        EXPECT_NE(std::find(fields.begin(), fields.end(), field), fields.end()) << field;
    }
    const registered_config first = read_config("orvo test");
    ASSERT_TRUE(first.exists);
    EXPECT_EQ(first.command_line, "\"" + in_folder("my app\\orvo.exe") + "\" " + quoted_settings());
    EXPECT_EQ(first.account, "NT SERVICE\\orvo test");
    EXPECT_TRUE(fs::is_directory(folder.path() / "my logs"));

    // The same command again: nothing to change, and what Wine cannot tell back said once.
    ASSERT_EQ(run_tool(apply), 0u) << out() << err();
    const nlohmann::json again = out_json();
    EXPECT_EQ(again.value("changed", true), false);
    EXPECT_TRUE(again["changes"].empty()) << again.dump();
    EXPECT_EQ(again["warnings"].dump().find("does not tell back the recovery"),
              again["warnings"].dump().rfind("does not tell back the recovery"));
    EXPECT_TRUE(same_config(read_config("orvo test"), first));

    for (const one_change& c : one_changes) {
        SCOPED_TRACE(c.options);
        ASSERT_EQ(run_tool(apply + " " + c.options), 0u) << out() << err();
        EXPECT_EQ(changed_names(out_json()), std::vector<std::string>{c.field});
        EXPECT_EQ(out_json().value("restart_required", true), false) << "a stopped service";
        EXPECT_TRUE(c.took(read_config("orvo test")));
        ASSERT_EQ(run_tool(apply + " " + c.options), 0u) << out() << err();
        EXPECT_EQ(out_json().value("changed", true), false);
        // Back as at first: the same field changes back.
        ASSERT_EQ(run_tool(apply), 0u) << out() << err();
        EXPECT_EQ(changed_names(out_json()), std::vector<std::string>{c.field});
        EXPECT_TRUE(same_config(read_config("orvo test"), first));
    }

    // As text: each change on a line of its own.
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings() + " --start manual"), 0u);
    EXPECT_NE(out().find("changed: start type: auto -> manual\r\n"), std::string::npos) << out();
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings() + " --start manual"), 0u);
    EXPECT_EQ(out(), "the service orvo test is as asked: nothing changed\r\n");
}

TEST_F(service_install, apply_on_a_running_service_says_when_it_needs_a_restart) {
    write_probe_settings("20000");
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings()), 0u) << err();
    start_installed("orvo test");
    ASSERT_EQ(status_of("orvo test").dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    fs::copy_file(folder.path() / "my settings/settings.xml",
                  folder.path() / "my settings/other.xml");
    const std::string other = "\"" + in_folder("my settings\\other.xml") + "\"";
    ASSERT_EQ(run_tool("apply \"orvo test\" " + other + " --json"), 0u) << out();
    EXPECT_EQ(changed_names(out_json()), std::vector<std::string>{"command_line"});
    EXPECT_EQ(out_json().value("restart_required", false), true);
    ASSERT_EQ(run_tool("apply \"orvo test\" " + other + " --display-name Renamed"), 0u);
    EXPECT_EQ(out().find("restart required"), std::string::npos) << out();
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings() + " --display-name Renamed"), 0u);
    EXPECT_NE(out().find("\r\nrestart required: the running service takes command_line at its "
                         "next start"),
              std::string::npos)
        << out();
    // Never stopped nor started by apply.
    EXPECT_EQ(status_of("orvo test").dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

struct apply_refusal {
    const char* name;
    const char* arguments; // after "apply"; SETTINGS stands for the quoted settings path
    DWORD exit_code;
    const char* error; // in the JSON answer's "error"
};

// clang-format off
const apply_refusal apply_refusals[] = {
    {"a service that does not run orvo.exe", "\"orvo other\" SETTINGS --json", 1, "does not run orvo.exe"},
    {"no settings file", "\"orvo test\" --json", 2, "wrong arguments for apply"},
    {"a start type that does not exist", "\"orvo test\" SETTINGS --start sometimes --json", 2, "--start takes"},
    {"--check twice", "\"orvo test\" SETTINGS --check --check --json", 2, "unexpected --check"},
    {"settings that do not load", "\"orvo test\" BROKEN --json", 1, "only \"setting\" could exist at root"},
};
// clang-format on

// --check, a service that is not orvo's, bad input: exit status, a JSON error, and the
// services as they were.
TEST_F(service_install, apply_check_and_every_refusal_change_nothing) {
    write_probe_settings("");
    write_file(folder / "my settings/broken.xml", "<settings/>");
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings() + " --check --json"), 0u);
    EXPECT_EQ(out_json().value("changed", false), true);
    EXPECT_FALSE(read_config("orvo test").exists);
    EXPECT_FALSE(fs::exists(folder.path() / "my logs"));
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings()), 0u) << err();
    const registered_config installed = read_config("orvo test");
    ASSERT_EQ(run_tool("apply \"orvo test\" " + quoted_settings() + " --start disabled --check"),
              0u);
    EXPECT_NE(out().find("would change: start type: auto -> disabled"), std::string::npos) << out();
    EXPECT_TRUE(same_config(read_config("orvo test"), installed));

    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const SC_HANDLE other = CreateServiceA(
        manager, "orvo other", "orvo other", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\windows\\system32\\notepad.exe", nullptr,
        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    CloseServiceHandle(other);
    CloseServiceHandle(manager);
    const registered_config not_orvo = read_config("orvo other");
    for (const apply_refusal& r : apply_refusals) {
        SCOPED_TRACE(r.name);
        std::string arguments = r.arguments;
        for (const auto& [mark, path] :
             {std::pair<std::string, std::string>{"SETTINGS", quoted_settings()},
              {"BROKEN", "\"" + in_folder("my settings\\broken.xml") + "\""}}) {
            if (const auto at = arguments.find(mark); at != std::string::npos) {
                arguments.replace(at, mark.size(), path);
            }
        }
        EXPECT_EQ(run_tool("apply " + arguments), r.exit_code) << out() << err();
        EXPECT_NE(out_json().value("error", "").find(r.error), std::string::npos) << out();
        EXPECT_TRUE(same_config(read_config("orvo test"), installed));
        EXPECT_TRUE(same_config(read_config("orvo other"), not_orvo));
    }
}

TEST_F(service_install, show_json_gives_every_field_as_the_manager_holds_it) {
    write_probe_settings("20000");
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings() +
                       " --start manual --depends RpcSs --display-name \"Probe server\""),
              0u)
        << err();
    ASSERT_EQ(run_tool("show \"orvo test\" --json"), 0u) << err();
    const nlohmann::json shown = out_json();
    const registered_config config = read_config("orvo test");
    EXPECT_EQ(shown.value("service", ""), "orvo test");
    EXPECT_EQ(shown.value("command_line", ""), config.command_line);
    EXPECT_EQ(shown.value("display_name", ""), config.display_name);
    EXPECT_EQ(shown.value("description", ""), config.description);
    EXPECT_EQ(shown.value("account", ""), config.account);
    EXPECT_EQ(shown.value("start_type", ""), "manual");
    EXPECT_EQ(shown["dependencies"], nlohmann::json(config.dependencies));
    ASSERT_TRUE(config.preshutdown_ms.has_value());
    EXPECT_EQ(shown.value("preshutdown_timeout", 0u), *config.preshutdown_ms);
    EXPECT_EQ(shown.value("event_source", false), true);
    EXPECT_EQ(shown.value("state", ""), "stopped");
    EXPECT_EQ(shown.value("process_id", 1u), 0u);
    // Wine keeps no recovery and no access lists: said, not guessed.
    EXPECT_TRUE(shown["recovery"].is_null());
    EXPECT_NE(shown["warnings"].dump().find("recovery"), std::string::npos) << shown.dump();
    EXPECT_EQ(run_tool("show \"orvo none\" --json"), 1u);
    EXPECT_NE(out_json().value("error", "").find("there is no service"), std::string::npos);
}

// The service's last exit code, with the system's words, orvo's meaning and where the line
// that says why was written.
TEST_F(service_install, show_explains_the_last_exit_code) {
    settings_document document;
    document.stdout_log = in_folder("my logs\\out.log");
    document.stderr_log = in_folder("my logs\\err.log");
    document.dll_path = windows_path(ORVO_RECORDING_JVM);
    document.options = standin_options(false); // the class is not there: 1610
    document.class_name = "orvotest/Probe";
    document.start_method = "start";
    write_file(folder / "my settings/settings.xml", settings_xml(document));
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + " --start manual"), 0u)
        << err();
    start_installed("orvo test");
    ASSERT_EQ(run_tool("show \"orvo test\""), 0u) << err();
    EXPECT_NE(out().find("\r\nlast exit code: 1610 ("), std::string::npos) << out();
    EXPECT_NE(out().find("for orvo: the settings cannot be used, or the class or start method "
                         "they name is not there; the reason is in the stderr log " +
                         in_folder("my logs\\err.log")),
              std::string::npos)
        << out();
}

// A start that never returns, without time limits: remove cannot stop it. It says so and
// leaves the service marked for deletion, and --kill ends its process.
TEST_F(service_install, remove_of_a_start_that_never_returns_says_what_is_true) {
    settings_document document;
    document.stop_timeout = "1"; // remove waits 10001 ms
    document.stdout_log = in_folder("my logs\\out.log");
    document.stderr_log = in_folder("my logs\\err.log");
    document.dll_path = windows_path(ORVO_RECORDING_JVM);
    document.options = standin_options(true);
    document.options.push_back("-Dstandin.end=orvotest/Probe.start:hang");
    document.class_name = "orvotest/Probe";
    document.start_method = "start";
    document.stop_method = "stop";
    write_file(folder / "my settings/settings.xml", settings_xml(document));
    ASSERT_EQ(run_tool("install \"orvo test\" " + quoted_settings() + " --start manual"), 0u)
        << err();
    const DWORD process_id = start_installed("orvo test", false);
    ASSERT_NE(process_id, 0u);
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    ASSERT_NE(process, nullptr);
    const std::string pid = std::to_string(process_id);
    struct attempt {
        const char* arguments;
        DWORD exit_code;
        std::string says;
    };
    const attempt attempts[] = {
        {"remove \"orvo test\"", 1,
         "it is start pending, and its process " + pid + " runs on. It is marked for deletion"},
        {"remove \"orvo test\"", 1,
         "It was marked for deletion already; it goes once that process ends: end it with taskkill "
         "/pid " +
             pid + " /f, or orvo-service remove \"orvo test\" --kill"},
        {"remove \"orvo test\" --kill", 0, "ended the process " + pid + " of the service"},
    };
    for (const attempt& a : attempts) {
        SCOPED_TRACE(a.arguments);
        EXPECT_EQ(run_tool(a.arguments), a.exit_code) << out() << err();
        EXPECT_NE((out() + err()).find(a.says), std::string::npos) << out() << err();
        EXPECT_EQ(WaitForSingleObject(process, 0) == WAIT_OBJECT_0, a.exit_code == 0);
    }
    CloseHandle(process);
    EXPECT_FALSE(read_config("orvo test").exists);
}

// --- Paths in any script -------------------------------------------------------------

// A file or folder named in UTF-8, as orvo carries names.
fs::path named(const std::string& path) {
    return fs::u8path(path);
}

void write_named(const std::string& path, const std::string& content) {
    std::ofstream(named(path), std::ios::binary) << content;
}

std::string read_named(const std::string& path) {
    std::ifstream in(named(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every name below `folder`, as paths relative to it in UTF-8 with "\" between the parts.
std::set<std::string> names_below(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(named(folder))) {
        std::string name = entry.path().lexically_relative(named(folder)).u8string();
        std::replace(name.begin(), name.end(), '/', '\\');
        names.insert(name);
    }
    return names;
}

// `text` inside a JSON string, as orvo-check writes it.
std::string json_string(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        escaped += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    }
    return escaped;
}

// The ANSI code page that orvo_wine_code_pages runs these tests in (through the Unix
// locale, from which Wine takes it); 0 when they are run otherwise, and are skipped: a name
// outside ASCII reaches Wine only under a UTF-8 locale.
UINT test_code_page() {
    const char* value = std::getenv("ORVO_TEST_CODE_PAGE");
    return value != nullptr ? static_cast<UINT>(std::stoul(value)) : 0;
}

// A folder named in one script, the folder of every path its settings name.
struct script_case {
    const char* name;
    const char* folder;
    UINT code_page;           // of the tests' code pages, the one that holds it (0: none does)
    const char* in_code_page; // the folder's name in that code page
    const char* first_unheld; // elsewhere, the first character the code page does not hold
};

// clang-format off
const script_case script_cases[] = {
    {"Latin", "Pr\xc3\xbc" "fung", 1252, "Pr\xfc" "fung", "\xc3\xbc"},
    {"Cyrillic", "\xd0\xa1\xd0\xbb\xd1\x83\xd0\xb6\xd0\xb1\xd1\x8b", 1251, "\xd1\xeb\xf3\xe6\xe1\xfb", "\xd0\xa1"},
    {"CJK", "\xe6\x9c\x8d\xe5\x8a\xa1", 0, "", "\xe6\x9c\x8d"},
    {"an emoji beyond the basic plane", "app \xf0\x9f\x9a\x80", 0, "", "\xf0\x9f\x9a\x80"},
};
// clang-format on

// The programs in "my app", every path of the settings in a folder named in the row's script.
class any_script : public service_install {
  protected:
    void SetUp() override {
        if (test_code_page() == 0) {
            GTEST_SKIP() << "run by the test orvo_wine_code_pages, in a locale of its own";
        }
        ASSERT_EQ(GetACP(), test_code_page()) << "the locale did not set the code page";
        service_install::SetUp();
        fs::copy_file(windows_path(ORVO_CHECK), windows_path(folder / "my app/orvo-check.exe"));
    }

    // The row's folder, its settings written there: logs in a folder not made yet, the JVM
    // library, a class path of a folder's .jar files and a folder, a working directory
    // relative to the settings' folder, all named in the script.
    void make_row(const script_case& c) {
        root = in_folder("") + c.folder;
        for (const char* sub : {"\\conf", "\\jvm", "\\lib", "\\classes", "\\work"}) {
            fs::create_directories(named(root + sub));
        }
        fs::copy_file(windows_path(ORVO_RECORDING_JVM), named(root + "\\jvm\\jvm.dll"));
        write_named(root + "\\lib\\" + c.folder + ".jar", "");
        settings_document document;
        document.stop_timeout = "20000";
        document.stdout_log = root + "\\logs\\out.log";
        document.stderr_log = root + "\\logs\\err.log";
        document.dll_path = root + "\\jvm\\jvm.dll";
        document.class_path = root + "\\lib\\*;" + root + "\\classes";
        document.working_directory = "..\\work";
        document.options = standin_options(true);
        document.options.push_back("-Dstandin.report=cwd");
        document.class_name = "orvotest/Probe";
        document.start_method = "start";
        document.stop_method = "stop";
        path = root + "\\conf\\settings.xml";
        write_named(path, settings_xml(document));
    }
    // The class path as orvo builds it from the settings.
    std::string class_path(const std::string& folder_path, const std::string& jar) const {
        return folder_path + "\\lib\\" + jar + ".jar;" + folder_path + "\\classes;";
    }
    DWORD run_check(const std::string& options = "--jvm") const {
        return run_program("\"" + in_folder("my app\\orvo-check.exe") + "\" " + options + " \"" +
                               path + "\"",
                           in_folder(""), in_folder("out.txt"), in_folder("err.txt"));
    }
    // Starts the row's installed service and waits while its start is pending. Wine's
    // manager may call a start timed out when the service's process ended before it finished
    // waiting for it: a start that failed at once, as the rows the code page cannot carry
    // want; the state and exit code say which it was.
    SERVICE_STATUS_PROCESS start_row_service() const {
        const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        const SC_HANDLE service = OpenServiceA(manager, "orvo test", SERVICE_START);
        StartServiceA(service, 0, nullptr);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        SERVICE_STATUS_PROCESS status = status_of("orvo test");
        const DWORD began = GetTickCount();
        while (status.dwCurrentState == SERVICE_START_PENDING &&
               GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
            status = status_of("orvo test");
        }
        return status;
    }
    // Waits until the manager has let the removed service's name go (its deletion is only
    // marked while its process is on its way out), so that the next row can install it.
    static void wait_until_gone() {
        const DWORD began = GetTickCount();
        while (read_config("orvo test").exists && GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
        }
    }

    std::string root; // the row's folder
    std::string path; // its settings file
};

// The settings file, its logs, the JVM library, the class path's folder and .jar, the working
// directory and the settings path on the command line, named in any script: orvo-check and
// orvo-service show each as written, the service runs and writes where it is asked, and the
// VM receives the class path in the code page, or, where the code page cannot hold it, the
// start fails with the line that says so, never with a "?" in its place. Nothing is made
// under a garbled name.
TEST_F(any_script, every_path_is_used_and_shown_as_written) {
    const std::string record = in_folder("record.txt");
    for (const script_case& c : script_cases) {
        SCOPED_TRACE(c.name);
        make_row(c);
        const bool held = c.code_page == GetACP();
        const std::string unheld_line =
            "the option \"-Djava.class.path=" + class_path(root, c.folder) + "\" holds \"" +
            c.first_unheld + "\", which this system's code page (" + std::to_string(GetACP()) +
            ") cannot pass to the Java VM; use a path without it, or a system code page that "
            "holds it.";

        // orvo-check: the record as written, and a VM created with it where it can be.
        EXPECT_EQ(run_check(), held ? 0u : 1u) << err();
        if (held) {
            for (const std::string& line :
                 {"dll_path: " + root + "\\jvm\\jvm.dll",
                  "class_path: " + root + "\\lib\\*;" + root + "\\classes",
                  std::string("jvm: created")}) {
                EXPECT_NE(out().find("\r\n" + line + "\r\n"), std::string::npos) << line << out();
            }
        } else {
            EXPECT_NE(err().find(path + ": error: " + unheld_line + "\r\n"), std::string::npos)
                << err();
        }
        EXPECT_NE(err().find("the folder \"" + root + "\\logs\" of the stdout log does not exist"),
                  std::string::npos)
            << err();
        if (!held) {
            EXPECT_EQ(run_check("--json"), 1u);
            EXPECT_NE(out().find("\"error\": \"option\",\r\n  \"message\": \"" +
                                 json_string(unheld_line) + "\""),
                      std::string::npos)
                << out();
        }
        fs::remove(named(record));

        // orvo-service: installs with the log folder made and granted, the settings path on
        // the service's command line, and warns where the service cannot start.
        ASSERT_EQ(run_tool("install \"orvo test\" \"" + path + "\""), 0u) << err();
        EXPECT_NE(
            out().find("granted NT SERVICE\\orvo test modify access to " + root + "\\logs\r\n"),
            std::string::npos)
            << out();
        EXPECT_EQ(err().find("warning: the service will not start: " + unheld_line) !=
                      std::string::npos,
                  !held)
            << err();
        EXPECT_EQ(read_config("orvo test").command_line,
                  "\"" + in_folder("my app\\orvo.exe") + "\" \"" + path + "\"");
        ASSERT_EQ(run_tool("show \"orvo test\""), 0u) << err();
        EXPECT_NE(out().find("\r\nsettings file: " + path + "\r\n"), std::string::npos) << out();

        // The service.
        const SERVICE_STATUS_PROCESS started = start_row_service();
        if (held) {
            EXPECT_EQ(started.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING))
                << read_named(root + "\\logs\\err.log");
        } else {
            EXPECT_EQ(started.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
            EXPECT_EQ(started.dwWin32ExitCode, 1610u);
            EXPECT_EQ(read_named(root + "\\logs\\err.log"), "error: " + unheld_line + "\r\n");
        }
        ASSERT_EQ(run_tool("remove \"orvo test\""), 0u) << err();
        EXPECT_NE(out().find("left in place: the settings file " + path + "\r\n"),
                  std::string::npos)
            << out();
        wait_until_gone();
        if (held) {
            const std::string root_held = in_folder("") + c.in_code_page;
            const std::string calls = read_named(record);
            EXPECT_NE(calls.find("\n  option -Djava.class.path=" +
                                 class_path(root_held, c.in_code_page) + "\n"),
                      std::string::npos)
                << calls;
            EXPECT_NE(calls.find("\nreport cwd " + root_held + "\\work\n"), std::string::npos)
                << calls;
            EXPECT_NE(calls.find("CallStaticVoidMethod orvotest/Probe.stop"), std::string::npos)
                << calls;
            EXPECT_EQ(read_named(root + "\\logs\\out.log"), "recording VM created\r\n");
        } else {
            EXPECT_FALSE(fs::exists(named(record))) << "no Java VM library loaded";
        }
        fs::remove(named(record));
        EXPECT_EQ(names_below(root),
                  (std::set<std::string>{"conf", "conf\\settings.xml", "jvm", "jvm\\jvm.dll", "lib",
                                         std::string("lib\\") + c.folder + ".jar", "classes",
                                         "work", "logs", "logs\\out.log", "logs\\err.log"}));
    }
    // Beside the rows' folders only what the test made: no folder under a garbled name.
    std::set<std::string> expected = {"my app", "my settings", "out.txt", "err.txt"};
    for (const script_case& c : script_cases) {
        expected.insert(c.folder);
    }
    std::set<std::string> top;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        top.insert(entry.path().filename().u8string());
    }
    EXPECT_EQ(top, expected);
}

} // namespace
} // namespace orvo_test
