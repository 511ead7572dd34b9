// orvo.exe as a real service of Wine's service control manager, on the stand-in Java VM
// (through recording_jvm.dll, which writes the stand-in's record of calls to a file).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
                    const std::vector<std::string>& options) {
    settings_document document;
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
        service_ =
            CreateServiceA(manager_, "orvo", "orvo", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command_line.c_str(),
                           nullptr, nullptr, nullptr, nullptr, nullptr);
        if (service_ == nullptr) {
            throw std::runtime_error("CreateServiceA failed: " + std::to_string(GetLastError()));
        }
    }
    ~registered_service() {
        SERVICE_STATUS status{};
        if (query().dwCurrentState != SERVICE_STOPPED) {
            ControlService(service_, SERVICE_CONTROL_STOP, &status);
            wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
        }
        DeleteService(service_);
        CloseServiceHandle(service_);
        CloseServiceHandle(manager_);
    }
    registered_service(const registered_service&) = delete;
    registered_service& operator=(const registered_service&) = delete;

    bool start() {
        // The start parameters must not reach the program.
        const char* parameters[] = {"start-parameter"};
        return StartServiceA(service_, 1, parameters) != FALSE;
    }
    SERVICE_STATUS query() const {
        SERVICE_STATUS status{};
        QueryServiceStatus(service_, &status);
        return status;
    }
    bool control(DWORD code, SERVICE_STATUS& status) {
        return ControlService(service_, code, &status) != FALSE;
    }
    // Polls the status while `pending(state)` holds; every state seen, the last one last.
    template <typename Predicate> std::vector<SERVICE_STATUS> wait_while(Predicate pending) {
        std::vector<SERVICE_STATUS> seen{query()};
        const DWORD began = GetTickCount();
        while (pending(seen.back().dwCurrentState) && GetTickCount() - began < guard_milliseconds) {
            Sleep(20);
            seen.push_back(query());
        }
        return seen;
    }

  private:
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
};

bool is_starting(DWORD state) {
    return state == SERVICE_START_PENDING || state == SERVICE_STOPPED;
}

bool has_state(const std::vector<SERVICE_STATUS>& seen, DWORD state) {
    for (const SERVICE_STATUS& status : seen) {
        if (status.dwCurrentState == state) {
            return true;
        }
    }
    return false;
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
    ASSERT_TRUE(service.start());
    const SERVICE_STATUS running = service.wait_while(is_starting).back();
    ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(running.dwControlsAccepted, 7u);
    EXPECT_EQ(running.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

    for (const DWORD code :
         {SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE}) {
        SERVICE_STATUS answer{};
        EXPECT_TRUE(service.control(code, answer)) << code;
        EXPECT_EQ(answer.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING)) << code;
        EXPECT_EQ(answer.dwControlsAccepted, 7u) << code;
    }

    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer));
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

TEST_F(service_wine, a_missing_jvm_library_stops_the_service_without_running) {
    write_file(folder / "err.log", "earlier err\r\n");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"),
                   in_folder("no-such-jvm.dll"), standin_options(true));
    registered_service service(command_line());
    ASSERT_TRUE(service.start());
    const std::vector<SERVICE_STATUS> seen =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(seen.back().dwWin32ExitCode, 0u);
    EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
    EXPECT_EQ(read_file(folder / "err.log"), "earlier err\r\nerror: couldn't load jvm.dll.\r\n");
}

TEST_F(service_wine, one_log_named_for_both_streams_keeps_the_error_lines) {
    write_settings(folder / "settings.xml", in_folder("both.log"), in_folder("both.log"),
                   windows_path(ORVO_RECORDING_JVM), standin_options(false));
    registered_service service(command_line());
    ASSERT_TRUE(service.start());
    ASSERT_EQ(service.wait_while(is_starting).back().dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer));
    ASSERT_EQ(service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; })
                  .back()
                  .dwWin32ExitCode,
              0u);
    // The class is missing at the start and at the stop; both lines reach the one log.
    EXPECT_EQ(read_file(folder / "both.log"), "recording VM created\r\n"
                                              "error: class \"orvotest/Probe\" not found.\r\n"
                                              "error: class \"orvotest/Probe\" not found.\r\n");
}

TEST_F(service_wine, settings_that_cannot_be_loaded_stop_the_service_with_1610) {
    write_file(folder / "settings.xml", "<settings/>");
    registered_service service(command_line());
    ASSERT_TRUE(service.start());
    const std::vector<SERVICE_STATUS> seen =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; });
    ASSERT_EQ(seen.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(seen.back().dwWin32ExitCode, 1610u);
    EXPECT_FALSE(has_state(seen, SERVICE_RUNNING));
}

TEST_F(service_wine, run_directly_it_prints_the_error_and_ends_with_1063) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE output = CreateFileA(in_folder("console.txt").c_str(), GENERIC_WRITE, 0, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(output, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::string command = command_line();
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(output);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, guard_milliseconds), WAIT_OBJECT_0);
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exit_code, 1063u);
    EXPECT_EQ(read_file(folder / "console.txt"), "Error: StartServiceCtrlDispatcher");
}

// --- A Java runtime's layout -------------------------------------------------------------

class runtime_layout : public service_wine {
  protected:
    // jdk\bin\server\jvm.dll, whose C runtime stand-in is only in jdk\bin, beside the native
    // library that the VM loads later and the other C runtime stand-in that one needs; and
    // orvo.exe in app\, a folder of its own. No copy of the stand-ins is anywhere the system
    // looks by itself.
    void SetUp() override {
        for (const char* sub : {"jdk/bin/server", "app"}) {
            fs::create_directories(folder.path() / sub);
        }
        copy(ORVO_RUNTIME_JVM, "jdk/bin/server/jvm.dll");
        copy(ORVO_STANDIN_CRT, "jdk/bin/orvo_standin_crt.dll");
        copy(ORVO_STANDIN_LATE_CRT, "jdk/bin/orvo_standin_late_crt.dll");
        copy(ORVO_STANDIN_NATIVE, "jdk/bin/orvo_standin_native.dll");
        copy(ORVO_EXECUTABLE, "app/orvo.exe");
    }
    void copy(const char* from, const std::string& to) const {
        fs::copy_file(windows_path(from), windows_path(folder / to));
    }
    std::vector<std::string> runtime_options() const {
        std::vector<std::string> options = standin_options(true);
        options.push_back("-Drecording.load=" + in_folder("jdk/bin/orvo_standin_native.dll"));
        return options;
    }
};

TEST_F(runtime_layout, the_service_loads_a_runtimes_jvm_dll_and_later_libraries_with_bins_dlls) {
    const std::string jvm = in_folder("jdk/bin/server/jvm.dll");
    write_settings(folder / "settings.xml", in_folder("out.log"), in_folder("err.log"), jvm,
                   runtime_options());
    registered_service service(command_line(in_folder("app/orvo.exe")));
    ASSERT_TRUE(service.start());
    ASSERT_EQ(service.wait_while([](DWORD state) { return state == SERVICE_START_PENDING; })
                  .back()
                  .dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING))
        << read_file(folder / "err.log");
    SERVICE_STATUS answer{};
    EXPECT_TRUE(service.control(SERVICE_CONTROL_STOP, answer));
    const SERVICE_STATUS stopped =
        service.wait_while([](DWORD state) { return state != SERVICE_STOPPED; }).back();
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    // The line comes from the C runtime stand-in, through jvm.dll's import.
    EXPECT_EQ(read_file(folder / "out.log"), "recording VM created\r\n");
    EXPECT_EQ(read_file(folder / "err.log"), "");
    EXPECT_NE(record_line("library released"), std::string::npos)
        << read_file(folder / "record.txt");
}

} // namespace
} // namespace orvo_test
