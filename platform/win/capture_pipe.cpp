// The capture pipe: a named pipe of one instance, inbound, whose server end orvo reads with
// overlapped reads, so that a read can wait for the pipe's data and for other threads'
// requests at once. The client end is an ordinary synchronous handle, what the program
// writes to. While a read is pending it takes whatever a writer puts in: a pending read
// that has not completed means that the pipe is empty.
#include "platform/capture_pipe.h"

#include <atomic>
#include <string>
#include <vector>

#include <windows.h>

namespace platform {

namespace {

constexpr DWORD read_size = 64 * 1024;

std::atomic<unsigned> pipes_made{0};

// A name no other pipe of the machine has.
std::string unique_pipe_name() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return "\\\\.\\pipe\\orvo-log-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(pipes_made.fetch_add(1)) + "-" + std::to_string(counter.QuadPart);
}

} // namespace

struct capture_pipe::state {
    HANDLE read_end = INVALID_HANDLE_VALUE;
    HANDLE write_end = INVALID_HANDLE_VALUE;
    HANDLE read_done = nullptr; // the overlapped read's event
    HANDLE woken = nullptr;     // wake()'s event
    OVERLAPPED overlapped{};
    bool pending = false; // a read has been started and has not been taken
    bool broken = false;  // no writer is left: only wake() and time end a wait
    std::vector<char> buffer = std::vector<char>(read_size);

    // Takes the finished read: true with its bytes, false when it failed.
    bool finish_read(std::size_t& size) {
        DWORD count = 0;
        pending = false;
        if (!GetOverlappedResult(read_end, &overlapped, &count, FALSE)) {
            broken = GetLastError() == ERROR_BROKEN_PIPE || broken;
            return false;
        }
        size = count;
        return count > 0;
    }

    // Starts a read, unless one is pending. True when it finished at once.
    bool start_read() {
        if (pending || broken) {
            return false;
        }
        ResetEvent(read_done);
        overlapped = OVERLAPPED{};
        overlapped.hEvent = read_done;
        pending = true;
        if (ReadFile(read_end, buffer.data(), read_size, nullptr, &overlapped)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            pending = false;
            broken = true;
        }
        return false;
    }
};

capture_pipe::capture_pipe() : state_(std::make_unique<state>()) {}

capture_pipe::~capture_pipe() {
    if (state_->pending) {
        // The system must be done with the buffer before it goes.
        CancelIoEx(state_->read_end, &state_->overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(state_->read_end, &state_->overlapped, &ignored, TRUE);
    }
    for (const HANDLE handle : {state_->read_end, state_->write_end}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    for (const HANDLE event : {state_->read_done, state_->woken}) {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
}

bool capture_pipe::open(std::uint32_t buffer_size) {
    const std::string name = unique_pipe_name();
    // One instance, first of its name, local clients only: no other process can take the
    // place of the writer. Its default access lets only this account and administrators
    // write to it.
    state_->read_end = CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        buffer_size, 0, nullptr);
    if (state_->read_end == INVALID_HANDLE_VALUE) {
        return false;
    }
    state_->write_end = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    state_->read_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    state_->woken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return state_->write_end != INVALID_HANDLE_VALUE && state_->read_done != nullptr &&
           state_->woken != nullptr;
}

file_handle capture_pipe::write_end() const {
    return reinterpret_cast<file_handle>(state_->write_end);
}

capture_pipe::read_status capture_pipe::read(std::int64_t timeout_ms, const char*& data,
                                             std::size_t& size) {
    data = state_->buffer.data();
    for (;;) {
        if (state_->start_read() && state_->finish_read(size)) {
            return read_status::data;
        }
        const HANDLE events[] = {state_->woken, state_->read_done};
        const DWORD waited = WaitForMultipleObjects(
            state_->pending ? 2 : 1, events, FALSE,
            timeout_ms < 0 ? INFINITE
                           : static_cast<DWORD>(std::min<std::int64_t>(timeout_ms, 0x7fffffff)));
        if (waited == WAIT_OBJECT_0) {
            return read_status::woken;
        }
        if (waited != WAIT_OBJECT_0 + 1) {
            return read_status::timed_out;
        }
        if (state_->finish_read(size)) {
            return read_status::data;
        }
    }
}

bool capture_pipe::read_ready(const char*& data, std::size_t& size) {
    data = state_->buffer.data();
    if (state_->pending) {
        if (WaitForSingleObject(state_->read_done, 0) != WAIT_OBJECT_0) {
            return false; // still waiting for data: the pipe is empty
        }
        return state_->finish_read(size);
    }
    return state_->start_read() && state_->finish_read(size);
}

void capture_pipe::wake() {
    SetEvent(state_->woken);
}

} // namespace platform
