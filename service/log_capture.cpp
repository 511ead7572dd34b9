#include "service/log_capture.h"

#include <algorithm>
#include <cstring>

#include "platform/last_error.h"
#include "platform/log_files.h"
#include "platform/standard_error.h"
#include "service/log_lines.h"

captured_log::captured_log(std::string path, platform::file_handle file,
                           const rotation_rules& rules, std::int64_t now)
    : path_(std::move(path)), file_(file), rules_(rules), names_(path_),
      next_midnight_(platform::next_local_midnight(now)), last_check_(now) {
    platform::file_size(file_, size_);
    mid_line_ = platform::ends_mid_line(file_); // what the file held before goes on
}

captured_log::~captured_log() {
    if (file_ != platform::invalid_file_handle) {
        platform::close_file(file_);
    }
}

void captured_log::write(const char* data, std::size_t size, std::int64_t now) {
    due_at_midnight(now);
    look_for_deletion(now);
    while (size > 0) {
        note_due_by_size();
        if (pending_ != change::none && (!mid_line_ || line_length_ >= max_line)) {
            make_change(now);
        }
        const std::size_t piece = next_piece(data, size);
        put(data, piece, now);
        data += piece;
        size -= piece;
        flush_notes(now);
    }
    tick(now);
}

void captured_log::tick(std::int64_t now) {
    due_at_midnight(now);
    note_due_by_size();
    if (pending_ != change::none && !mid_line_) {
        make_change(now);
    }
    flush_notes(now);
}

void captured_log::reopen(std::int64_t now) {
    pending_ = change::reopen;
    tick(now);
}

void captured_log::add_note(const std::string& line) {
    notes_.push_back(line);
}

void captured_log::write_notes_now(std::int64_t now) {
    std::vector<std::string> waiting;
    waiting.swap(notes_);
    for (const std::string& note : waiting) {
        put(note.data(), note.size(), now);
    }
}

std::int64_t captured_log::ms_until_due(std::int64_t now) const {
    if (!rules_.daily) {
        return -1;
    }
    return std::max<std::int64_t>(next_midnight_ - now, 0);
}

captured_log::news captured_log::take_news() {
    news taken = std::move(news_);
    news_ = news();
    return taken;
}

void captured_log::note_due_by_size() {
    if (pending_ == change::none && rules_.due_by_size(size_, retry_size_)) {
        pending_ = change::rotate;
    }
}

// A file that nothing was written to since its day began is not rotated: that would only
// leave empty files behind.
void captured_log::due_at_midnight(std::int64_t now) {
    if (!rules_.daily || now < next_midnight_) {
        return;
    }
    next_midnight_ = platform::next_local_midnight(now);
    if (size_ > 0 && pending_ == change::none) {
        pending_ = change::rotate;
    }
}

// Without a change due, as far as max_size (the file is below it). With one due, or one of
// orvo's lines waiting, up to and with the next line end; for a change no further than
// max_line into the line.
std::size_t captured_log::next_piece(const char* data, std::size_t size) const {
    std::size_t piece = size;
    if (pending_ == change::none && rules_.max_size) {
        const std::uint64_t left = std::max(*rules_.max_size, retry_size_) - size_;
        piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
    }
    if (pending_ == change::none && notes_.empty()) {
        return piece;
    }
    const void* end = std::memchr(data, '\n', size);
    if (end != nullptr) {
        piece = std::min(piece, static_cast<std::size_t>(static_cast<const char*>(end) - data) + 1);
    }
    return pending_ == change::none ? piece : std::min(piece, max_line - line_length_);
}

void captured_log::put(const char* data, std::size_t size, std::int64_t now) {
    follow_lines(data, size);
    if (file_ == platform::invalid_file_handle) {
        try_to_reopen(now);
    }
    if (file_ == platform::invalid_file_handle) {
        lose(size, lost_error_);
        return;
    }
    std::uint32_t error = 0;
    const std::size_t written = platform::write_file(file_, data, size, error);
    size_ += written;
    unchecked_bytes_ += written;
    if (written < size) {
        lose(size - written, error);
        return;
    }
    if (lost_bytes_ > 0) {
        news_.lost_bytes += lost_bytes_;
        news_.lost_error = lost_error_;
        lost_bytes_ = 0;
        lost_error_ = 0;
    }
}

void captured_log::follow_lines(const char* data, std::size_t size) {
    for (std::size_t i = size; i > 0; --i) {
        if (data[i - 1] == '\n') {
            line_length_ = size - i;
            mid_line_ = line_length_ != 0;
            return;
        }
    }
    line_length_ += size;
    mid_line_ = mid_line_ || size > 0;
}

// A rotation renames the live file (while it is still the file being written) and opens a
// new one at its path; a reopen opens the path again, whatever is there now. A failure
// keeps the old file, is said once until a change works again, and a rotation by size is
// tried again once the file has grown by max_size more.
void captured_log::make_change(std::int64_t now) {
    const change kind = pending_;
    pending_ = change::none;
    line_length_ = 0; // a line split at max_line goes on in the new file, counted from there
    std::uint32_t error = 0;
    if (kind == change::rotate && file_ != platform::invalid_file_handle) {
        const rotation_step step = rotate_live_file(path_, file_, names_, now);
        error = step.error;
        if (error == 0) {
            replace_file(step.file);
            if (rules_.max_files) {
                names_.keep_newest(*rules_.max_files);
            }
        }
    } else {
        const platform::file_handle file = platform::open_log_file(path_);
        error = file == platform::invalid_file_handle ? platform::last_error() : 0;
        if (error == 0) {
            platform::move_to_end(file);
            replace_file(file);
        }
    }
    if (error == 0) {
        retry_size_ = 0;
        failing_ = false;
        return;
    }
    retry_size_ = rules_.retry_size_after(size_);
    if (!failing_) {
        news_.lines.push_back(not_reopened_line(path_, platform::error_text(error)));
    }
    failing_ = true;
}

void captured_log::replace_file(platform::file_handle file) {
    if (file_ != platform::invalid_file_handle) {
        platform::close_file(file_);
    }
    file_ = file;
    size_ = 0;
    platform::file_size(file_, size_);
    unchecked_bytes_ = 0;
}

// Writes to a file that was deleted succeed, and are lost: what went there since it was
// last seen alive is counted as lost, and the log is opened again at its path.
void captured_log::look_for_deletion(std::int64_t now) {
    if (file_ == platform::invalid_file_handle || now - last_check_ < deleted_check_ms) {
        return;
    }
    last_check_ = now;
    if (!platform::file_deleted(file_)) {
        unchecked_bytes_ = 0;
        return;
    }
    lost_bytes_ += unchecked_bytes_;
    if (lost_error_ == 0) {
        lost_error_ = platform::deleted_file_error();
    }
    platform::close_file(file_);
    file_ = platform::invalid_file_handle;
    unchecked_bytes_ = 0;
    last_reopen_try_ = now - reopen_retry_ms;
}

void captured_log::try_to_reopen(std::int64_t now) {
    if (now - last_reopen_try_ < reopen_retry_ms) {
        return;
    }
    last_reopen_try_ = now;
    const platform::file_handle file = platform::open_log_file(path_);
    if (file == platform::invalid_file_handle) {
        if (lost_error_ == 0) {
            lost_error_ = platform::last_error();
        }
        return;
    }
    platform::move_to_end(file);
    replace_file(file);
}

void captured_log::lose(std::size_t size, std::uint32_t error) {
    lost_bytes_ += size;
    if (lost_error_ == 0) {
        lost_error_ = error;
    }
}

void captured_log::flush_notes(std::int64_t now) {
    if (!mid_line_) {
        write_notes_now(now);
    }
}
