// The stand-in VM writing to its standard streams as a Java program's threads do: each
// line in one write call of the standard handle as it is at that moment, from several
// threads at once.
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "standin.h"

namespace standin {

namespace {

#ifdef _WIN32
void write_line(bool to_error, const std::string& line) {
    DWORD written = 0;
    WriteFile(GetStdHandle(to_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), line.data(),
              static_cast<DWORD>(line.size()), &written, nullptr);
}
const char line_end[] = "\r\n";
#else
void write_line(bool to_error, const std::string& line) {
    const ssize_t ignored = write(to_error ? 2 : 1, line.data(), line.size());
    static_cast<void>(ignored);
}
const char line_end[] = "\n";
#endif

// "out T I" (or "err T I"), padded with dots to `length` bytes with its line end.
std::string numbered_line(const char* stream, int thread, long index, std::size_t length) {
    std::string line =
        std::string(stream) + " " + std::to_string(thread) + " " + std::to_string(index);
    const std::size_t end = sizeof line_end - 1;
    if (line.size() + end < length) {
        line += " " + std::string(length - line.size() - end - 1, '.');
    }
    return line + line_end;
}

void write_lines(const write_plan& plan, int thread) {
    for (long i = 0; i < plan.lines; ++i) {
        write_line(false, numbered_line("out", thread, i, plan.length));
        write_line(true, numbered_line("err", thread, i, plan.length));
    }
}

} // namespace

bool add_write(vm_state& vm, const std::string& value) {
    // MOMENT:THREADS:LINES[:LENGTH]; an event name may hold no ":".
    const auto first = value.find(':');
    const auto second = first == std::string::npos ? first : value.find(':', first + 1);
    if (second == std::string::npos) {
        return false;
    }
    write_plan plan;
    plan.moment = value.substr(0, first);
    plan.threads = std::atoi(value.c_str() + first + 1);
    char* end = nullptr;
    plan.lines = std::strtol(value.c_str() + second + 1, &end, 10);
    if (*end == ':') {
        plan.length = static_cast<std::size_t>(std::strtoul(end + 1, nullptr, 10));
    }
    if (plan.threads < 1 || plan.lines < 0) {
        return false;
    }
    vm.writes.push_back(plan);
    return true;
}

std::vector<write_plan> writes_at(const vm_state& vm, const std::string& moment) {
    std::vector<write_plan> found;
    for (const write_plan& plan : vm.writes) {
        if (plan.moment == moment) {
            found.push_back(plan);
        }
    }
    return found;
}

void write_burst(const write_plan& plan) {
    std::vector<std::thread> writers;
    for (int t = 0; t < plan.threads; ++t) {
        writers.emplace_back(write_lines, plan, t);
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
}

void watch_write_events(const vm_state& vm) {
#ifdef _WIN32
    for (const write_plan& plan : vm.writes) {
        if (plan.moment.compare(0, 6, "event=") != 0) {
            continue;
        }
        const std::string name = plan.moment.substr(6);
        const HANDLE asked = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
        const HANDLE done = CreateEventA(nullptr, FALSE, FALSE, (name + "-done").c_str());
        std::thread([asked, done, plan] {
            for (;;) {
                WaitForSingleObject(asked, INFINITE);
                write_burst(plan);
                SetEvent(done);
            }
        }).detach();
    }
#else
    static_cast<void>(vm);
#endif
}

} // namespace standin
