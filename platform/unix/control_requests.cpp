// The control signals and their pipe.
//
// The Java VM, while it is created, installs handlers of its own for SIGTERM, SIGINT and
// SIGHUP (they run Java's shutdown and end the process at once), and unblocks the three
// in every thread it starts. It does neither for a signal that is ignored when it starts.
// So while it is created the three are ignored, and blocked in every thread of ours (the
// kernel keeps an ignored signal that the process's main thread blocks), and a thread of
// its own takes them with sigwaitinfo() meanwhile. They must not stay pending: setting a
// signal to be ignored, as the Java host does when it puts back what it found, discards
// a pending one. The dispatcher's thread is
// the process's main thread, which a signal sent to the process goes to first, so it
// takes the signals the rest of the time: the Java VM gives the thread that created it,
// when that thread detaches, the signal mask it had during the creation.
#include "platform/unix/control_requests.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/service_control.h"

namespace platform {

namespace {

int request_pipe[2] = {-1, -1};

std::mutex hold_lock;
std::condition_variable hold_changed;
bool dispatcher_holding = false;
std::thread hold_taker;
std::atomic<bool> hold_ending{false};

sigset_t control_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

extern "C" void on_control_signal(int signal) {
    write_control_byte(static_cast<unsigned char>(signal));
}

bool handle_control_signals_with(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    // A handler is not interrupted by another one on its thread: the numbers reach the
    // pipe in the order in which the handlers began.
    action.sa_mask = control_signals();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

void block_control_signals(int how) {
    const sigset_t signals = control_signals();
    pthread_sigmask(how, &signals, nullptr);
}

// Passes on what arrives during a hold, until the signal that release_control_requests()
// sends to this thread itself.
void take_held_signals() {
    const sigset_t signals = control_signals();
    for (;;) {
        siginfo_t info{};
        const int signal = sigwaitinfo(&signals, &info);
        if (signal < 0) {
            continue; // interrupted
        }
        // Not every kernel tells a signal sent to one thread (SI_TKILL) from one sent to
        // the process; the sender's process id is what marks ours.
        if (signal == SIGHUP && info.si_pid == getpid() && hold_ending.load()) {
            return;
        }
        write_control_byte(static_cast<unsigned char>(signal));
    }
}

} // namespace

bool open_control_requests() {
    if (pipe2(request_pipe, O_CLOEXEC) != 0) {
        return false;
    }
    // A signal handler must never block on a full pipe. Whatever the process inherited,
    // the requests are taken from here on.
    if (fcntl(request_pipe[1], F_SETFL, O_NONBLOCK) != 0 ||
        !handle_control_signals_with(on_control_signal)) {
        return false;
    }
    block_control_signals(SIG_UNBLOCK);
    return true;
}

void write_control_byte(unsigned char byte) {
    const int saved_errno = errno;
    const ssize_t ignored = write(request_pipe[1], &byte, 1);
    static_cast<void>(ignored);
    errno = saved_errno;
}

std::string read_control_bytes() {
    char bytes[64];
    for (;;) {
        const ssize_t count = read(request_pipe[0], bytes, sizeof bytes);
        if (count > 0) {
            return std::string(bytes, static_cast<std::size_t>(count));
        }
        if (count == 0 || errno != EINTR) {
            return std::string();
        }
    }
}

void hold_on_dispatcher_thread() {
    block_control_signals(SIG_BLOCK);
    {
        std::lock_guard<std::mutex> hold(hold_lock);
        dispatcher_holding = true;
    }
    hold_changed.notify_all();
}

void release_on_dispatcher_thread() {
    {
        std::lock_guard<std::mutex> hold(hold_lock);
        dispatcher_holding = false;
    }
    block_control_signals(SIG_UNBLOCK);
}

void hold_control_requests() {
    write_control_byte(hold_byte);
    {
        std::unique_lock<std::mutex> hold(hold_lock);
        hold_changed.wait(hold, [] { return dispatcher_holding; });
    }
    block_control_signals(SIG_BLOCK);
    try {
        hold_taker = std::thread(take_held_signals);
    } catch (const std::system_error&) {
        return; // no thread to take them: better the VM's handlers than lost requests
    }
    handle_control_signals_with(SIG_IGN);
}

void release_control_requests() {
    handle_control_signals_with(on_control_signal);
    if (hold_taker.joinable()) {
        hold_ending.store(true);
        pthread_kill(hold_taker.native_handle(), SIGHUP);
        hold_taker.join();
    }
    block_control_signals(SIG_UNBLOCK);
    write_control_byte(release_byte);
}

} // namespace platform
