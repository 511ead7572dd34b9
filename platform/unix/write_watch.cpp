// Waiting for writes with inotify. Each watch is for one write only (IN_ONESHOT): the
// kernel then drops it, so that while the caller looks at the files and paces itself the
// program's writes take the path of files nobody watches, at no cost.
#include "platform/write_watch.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::int64_t unwatched_pace_ms = 100;

} // namespace

write_watch::write_watch() {
    const int saved_errno = errno;
    notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (pipe2(requests_, O_NONBLOCK | O_CLOEXEC) != 0) {
        requests_[0] = requests_[1] = -1;
    }
    errno = saved_errno;
}

write_watch::~write_watch() {
    for (const int descriptor : {notify_, requests_[0], requests_[1]}) {
        if (descriptor >= 0) {
            close(descriptor);
        }
    }
}

void write_watch::arm(const std::vector<file_handle>& files) {
    const int saved_errno = errno;
    std::vector<int> armed;
    watching_ = notify_ >= 0;
    for (const file_handle file : files) {
        // The descriptor's own file, whatever name it has now or none.
        const std::string path = "/proc/self/fd/" + std::to_string(file);
        const int watch =
            notify_ < 0 ? -1 : inotify_add_watch(notify_, path.c_str(), IN_MODIFY | IN_ONESHOT);
        watching_ = watching_ && watch >= 0;
        armed.push_back(watch);
    }
    // A file no longer watched (a log rotated away) must not keep a watch that it may never
    // use up; one already used up is gone, and removing it again changes nothing.
    for (const int watch : watches_) {
        if (std::find(armed.begin(), armed.end(), watch) == armed.end()) {
            inotify_rm_watch(notify_, watch);
        }
    }
    watches_ = armed;
    errno = saved_errno;
}

write_watch::woken_by write_watch::wait(std::int64_t timeout_ms) {
    const int saved_errno = errno;
    // Without watches, a look at the files every so often must do.
    const std::int64_t limit = watching_ ? std::int64_t{1} << 30 : unwatched_pace_ms;
    const int timeout =
        static_cast<int>(timeout_ms < 0 ? limit : std::min<std::int64_t>(timeout_ms, limit));
    pollfd waited[2] = {{watching_ ? notify_ : -1, POLLIN, 0}, {requests_[0], POLLIN, 0}};
    const int ready = poll(waited, 2, watching_ && timeout_ms < 0 ? -1 : timeout);
    woken_by reason =
        !watching_ && (timeout_ms < 0 || timeout_ms > limit) ? woken_by::write : woken_by::time;
    char drained[4096];
    if (ready > 0 && (waited[1].revents & POLLIN) != 0) {
        while (read(requests_[0], drained, sizeof drained) > 0) {
        }
        reason = woken_by::request;
    }
    if (ready > 0 && (waited[0].revents & POLLIN) != 0) {
        while (read(notify_, drained, sizeof drained) > 0) {
        }
        reason = reason == woken_by::request ? reason : woken_by::write;
    }
    if (ready < 0 && errno == EINTR) {
        reason = woken_by::request;
    }
    errno = saved_errno;
    return reason;
}

void write_watch::wake() {
    const int saved_errno = errno;
    const char byte = 0;
    const ssize_t ignored = write(requests_[1], &byte, 1);
    static_cast<void>(ignored);
    errno = saved_errno;
}

} // namespace platform
