// The Windows log benchmark (docs/performance.md), run under Wine or on Windows: orvo.exe as
// a service on the stand-in Java VM, whose threads write lines to standard output while
// orvo captures it through a pipe and writes the log, rotated at max_size='1M', against
// pipe_reference.exe moving the same lines through an anonymous pipe into a file; round by
// round. Then the longest write during about 1000 rotations, and what a TerminateProcess
// right after a burst loses.
//
//   capture_bench THREADS LINES LENGTH ROUNDS WORK_FOLDER
//
// Exit status 1 when the capture's median throughput is below 0.9 of the yardstick's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD guard_ms = 300 * 1000;
constexpr char service_name[] = "orvo-log-bench";

std::string windows_path(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path.size() > 1 && path[1] == ':' ? path : "Z:" + path;
}

struct burst {
    int threads;
    long lines;
    long length;
    long long bytes() const { return static_cast<long long>(threads) * lines * length; }
};

double seconds_since(LARGE_INTEGER began) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - began.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The bytes in out.log and its rotated files in `folder`.
long long log_bytes(const std::string& folder, long long* files = nullptr) {
    WIN32_FIND_DATAA found{};
    long long total = 0;
    long long count = 0;
    const HANDLE search = FindFirstFileA((folder + "\\out*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        total += (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (files != nullptr) {
        *files = count;
    }
    return total;
}

void write_settings(const std::string& folder, const char* rotation, const burst& lines) {
    std::ofstream settings(folder + "\\settings.xml");
    settings << "<setting>\n  <log stdout='" << folder << "\\out.log' stderr='" << folder
             << "\\err.log' " << rotation << "/>\n  <jvm dll_path='"
             << windows_path(ORVO_RECORDING_JVM) << "'>\n"
             << "    <option>-Drecording.standin=" << windows_path(ORVO_STANDIN_JVM)
             << "</option>\n"
             << "    <option>-Drecording.file=" << folder << "\\record.txt</option>\n"
             << "    <option>-Dstandin.class=orvo/Bench</option>\n"
             << "    <option>-Dstandin.method=orvo/Bench.start()V</option>\n"
             << "    <option>-Dstandin.method=orvo/Bench.stop()V</option>\n"
             << "    <option>-Dstandin.write=event=orvo-bench-burst:" << lines.threads << ':'
             << lines.lines << ':' << lines.length << ":out</option>\n"
             << "  </jvm>\n  <server class='orvo/Bench' start_method='start' stop_method='stop'/>\n"
             << "</setting>\n";
}

// orvo.exe registered and running on the settings in `folder`, deleted at the end.
class bench_service {
  public:
    explicit bench_service(const std::string& folder) {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (SC_HANDLE old = OpenServiceA(manager_, service_name, SERVICE_ALL_ACCESS)) {
            DeleteService(old);
            CloseServiceHandle(old);
        }
        const std::string command =
            "\"" + windows_path(ORVO_EXECUTABLE) + "\" \"" + folder + "\\settings.xml\"";
        service_ =
            CreateServiceA(manager_, service_name, service_name, SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        running_ = service_ != nullptr && StartServiceA(service_, 0, nullptr) &&
                   wait_while(SERVICE_START_PENDING) == SERVICE_RUNNING;
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof status, &needed);
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, status.dwProcessId);
    }
    ~bench_service() {
        SERVICE_STATUS status{};
        if (ControlService(service_, SERVICE_CONTROL_STOP, &status)) {
            wait_while(SERVICE_STOP_PENDING);
        }
        if (process_ != nullptr) {
            WaitForSingleObject(process_, guard_ms);
            CloseHandle(process_);
        }
        DeleteService(service_);
        CloseServiceHandle(service_);
        CloseServiceHandle(manager_);
    }
    bench_service(const bench_service&) = delete;
    bench_service& operator=(const bench_service&) = delete;

    bool running() const { return running_; }
    void kill() {
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, guard_ms);
    }

  private:
    DWORD wait_while(DWORD state) {
        SERVICE_STATUS status{};
        const DWORD began = GetTickCount();
        while (QueryServiceStatus(service_, &status) && status.dwCurrentState == state &&
               GetTickCount() - began < guard_ms) {
            Sleep(10);
        }
        return status.dwCurrentState;
    }

    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    HANDLE process_ = nullptr;
    bool running_ = false;
};

bool write_burst() {
    const HANDLE asked = OpenEventA(EVENT_MODIFY_STATE, FALSE, "orvo-bench-burst");
    const HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, "orvo-bench-burst-done");
    const bool written = asked != nullptr && done != nullptr && SetEvent(asked) &&
                         WaitForSingleObject(done, guard_ms) == WAIT_OBJECT_0;
    CloseHandle(asked);
    CloseHandle(done);
    return written;
}

void clear(const std::string& folder) {
    std::system(("cmd /c rmdir /s /q \"" + folder + "\" >nul 2>nul").c_str());
    CreateDirectoryA(folder.c_str(), nullptr);
}

// MiB/s of orvo's capture: from the burst's start until every byte is in the log files.
double capture_run(const std::string& folder, const char* rotation, const burst& lines) {
    clear(folder);
    write_settings(folder, rotation, lines);
    bench_service service(folder);
    if (!service.running()) {
        std::fprintf(stderr, "orvo did not start\n");
        std::exit(1);
    }
    const long long before = log_bytes(folder); // the stand-in's line at its creation
    LARGE_INTEGER began;
    QueryPerformanceCounter(&began);
    if (!write_burst()) {
        std::fprintf(stderr, "the burst was not written\n");
        std::exit(1);
    }
    // The pipe's last MiB at most is still to be written: looked at every 5 ms.
    while (log_bytes(folder) < before + lines.bytes()) {
        Sleep(5);
    }
    return static_cast<double>(lines.bytes()) / 1048576.0 / seconds_since(began);
}

// MiB/s of the yardstick.
double reference_run(const std::string& folder, const burst& lines) {
    clear(folder);
    const std::string output = folder + "\\reference.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::ostringstream command;
    command << '"' << windows_path(ORVO_PIPE_REFERENCE) << "\" " << lines.threads << ' '
            << lines.lines << ' ' << lines.length << " \"" << folder << "\\out.log\" 1048576";
    std::string line = command.str();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "pipe_reference did not start\n");
        std::exit(1);
    }
    WaitForSingleObject(process.hProcess, guard_ms);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(out);
    double milliseconds = 0;
    long long bytes = 0;
    std::ifstream(output) >> milliseconds >> bytes;
    if (bytes != lines.bytes()) {
        std::fprintf(stderr, "pipe_reference wrote %lld bytes\n", bytes);
        std::exit(1);
    }
    return static_cast<double>(bytes) / 1048576.0 / (milliseconds / 1000.0);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string record_field(const std::string& folder, const std::string& key) {
    std::ifstream record(folder + "\\record.txt");
    std::string line;
    while (std::getline(record, line)) {
        const std::string::size_type at = line.find(key + "=");
        if (line.rfind("burst ", 0) == 0 && at != std::string::npos) {
            return line.substr(at + key.size() + 1);
        }
    }
    return "?";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: capture_bench THREADS LINES LENGTH ROUNDS WORK_FOLDER\n");
        return 2;
    }
    const burst lines{std::atoi(argv[1]), std::atol(argv[2]), std::atol(argv[3])};
    const int rounds = std::atoi(argv[4]);
    const std::string folder = windows_path(argv[5]);

    std::vector<double> captured;
    std::vector<double> reference;
    for (int round = 1; round <= rounds; ++round) {
        reference.push_back(reference_run(folder, lines));
        captured.push_back(capture_run(folder, "max_size='1M'", lines));
        std::printf("round %d: pipe and one reading thread %.1f MiB/s, orvo's capture %.1f MiB/s\n",
                    round, reference.back(), captured.back());
        std::fflush(stdout);
    }
    const double ratio = median(captured) / median(reference);
    std::printf("median: pipe and one reading thread %.1f MiB/s, orvo's capture %.1f MiB/s, "
                "ratio %.3f (target >= 0.9)\n",
                median(reference), median(captured), ratio);

    // The slowest write while the log is rotated about 1000 times, and without rotation.
    const burst rotations{4, 16384, 1024};
    for (const char* rotation : {"max_size='1024G'", "max_size='64K'"}) {
        clear(folder);
        write_settings(folder, rotation, rotations);
        long long files = 0;
        {
            bench_service service(folder);
            if (!service.running() || !write_burst()) {
                return 1;
            }
        }
        log_bytes(folder, &files);
        const std::string took = record_field(folder, "took_us");
        std::printf("%s: %lld files, burst %s us, slowest write %s us\n", rotation, files,
                    took.substr(0, took.find(' ')).c_str(),
                    record_field(folder, "slowest_write_us").c_str());
    }

    // What TerminateProcess loses right after a burst was written into the pipe.
    long long most_lost = 0;
    for (int run = 0; run < 5; ++run) {
        clear(folder);
        write_settings(folder, "max_size='1M'", lines);
        bench_service service(folder);
        const long long before = log_bytes(folder);
        if (!service.running() || !write_burst()) {
            return 1;
        }
        service.kill();
        most_lost = std::max(most_lost, before + lines.bytes() - log_bytes(folder));
    }
    std::printf("TerminateProcess right after a burst of %lld bytes: at most %lld bytes lost "
                "of 5 runs\n",
                lines.bytes(), most_lost);
    return ratio >= 0.9 ? 0 : 1;
}
