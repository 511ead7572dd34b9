// The stand-in VM writing to its standard streams as a Java program's threads do: each
// line in one write call of the standard handle as it is at that moment, from several
// threads at once.
#include <algorithm>
#include <chrono>
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

// Writes one thread's lines; the longest that one write call took, in microseconds.
long long write_lines(const write_plan& plan, int thread) {
    long long slowest = 0;
    for (long i = 0; i < plan.lines; ++i) {
        for (const bool to_error : {false, true}) {
            if (to_error ? !plan.to_error : !plan.to_output) {
                continue;
            }
            const std::string line =
                numbered_line(to_error ? "err" : "out", thread, i, plan.length);
            const auto before = std::chrono::steady_clock::now();
            write_line(to_error, line);
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - before);
            slowest = std::max<long long>(slowest, took.count());
        }
    }
    return slowest;
}

} // namespace

bool add_write(vm_state& vm, const std::string& value) {
    // MOMENT:THREADS:LINES[:LENGTH[:STREAM]]; an event name may hold no ":".
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
        plan.length = static_cast<std::size_t>(std::strtoul(end + 1, &end, 10));
    }
    if (*end == ':') {
        const std::string stream = end + 1;
        plan.to_output = stream == "out";
        plan.to_error = stream == "err";
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
    std::vector<long long> slowest(static_cast<std::size_t>(plan.threads));
    const auto began = std::chrono::steady_clock::now();
    for (int t = 0; t < plan.threads; ++t) {
        writers.emplace_back([&plan, &slowest, t] { slowest[t] = write_lines(plan, t); });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - began);
    std::lock_guard<std::mutex> hold(state_lock());
    record(
        "burst " + plan.moment + " took_us=" + std::to_string(took.count()) +
        " slowest_write_us=" + std::to_string(*std::max_element(slowest.begin(), slowest.end())));
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
