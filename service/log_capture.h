// One log that orvo writes itself from what the program wrote to a standard stream (see
// log_streams.h): the bytes go to the file as they come, and every change of file, a
// rotation or a reopen, is made between two lines. A line shorter than max_line is never
// split between two files; one that grows to max_line without its end is, there. What the
// file does not take (a full disk, a file deleted under it, a folder gone) is dropped and
// counted, never waited for, and said once writing works again.
//
// Not thread-safe: one thread (a pump) owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/standard_handles.h"
#include "service/log_rotation.h"

class captured_log {
  public:
    // The longest line that a change of file waits for.
    static constexpr std::size_t max_line = 64 * 1024;
    // How often a file that writes still take is looked at for having been deleted.
    static constexpr std::int64_t deleted_check_ms = 100;
    // How often a log that cannot be opened is tried again while output comes.
    static constexpr std::int64_t reopen_retry_ms = 100;

    // `file` is open at `path`, at its end; the log owns it from now on.
    captured_log(std::string path, platform::file_handle file, const rotation_rules& rules,
                 std::int64_t now);
    ~captured_log();
    captured_log(const captured_log&) = delete;
    captured_log& operator=(const captured_log&) = delete;

    // The program's output, in the order it came.
    void write(const char* data, std::size_t size, std::int64_t now);
    // Time has passed without output: a rotation at midnight, or one of orvo's lines, that
    // waits for no line end is made now.
    void tick(std::int64_t now);
    // Opens the log again at its path (after someone renamed it), at the next line end.
    void reopen(std::int64_t now);
    // One of orvo's own lines (ending with its line end), written between two lines of the
    // program's.
    void add_note(const std::string& line);
    // Writes the notes still waiting, even within a line: the process is ending.
    void write_notes_now(std::int64_t now);
    // How long until a change is due without output (midnight): -1 when none is.
    std::int64_t ms_until_due(std::int64_t now) const;

    // What the log has to say in the stderr log, once each, taken by whoever writes there.
    struct news {
        std::uint64_t lost_bytes = 0;   // dropped before writing worked again
        std::uint32_t lost_error = 0;   // the first failure's error among them
        std::vector<std::string> lines; // complete lines: a failed rotation or reopen
    };
    news take_news();

    // Whether what was written last left a line unfinished.
    bool mid_line() const { return mid_line_; }

  private:
    enum class change { none, rotate, reopen };

    void due_at_midnight(std::int64_t now);
    void note_due_by_size();
    std::size_t next_piece(const char* data, std::size_t size) const;
    void put(const char* data, std::size_t size, std::int64_t now);
    void follow_lines(const char* data, std::size_t size);
    void make_change(std::int64_t now);
    void replace_file(platform::file_handle file);
    void look_for_deletion(std::int64_t now);
    void try_to_reopen(std::int64_t now);
    void lose(std::size_t size, std::uint32_t error);
    void flush_notes(std::int64_t now);

    std::string path_;
    platform::file_handle file_; // invalid_file_handle while no file can be written
    rotation_rules rules_;
    rotated_files names_;

    std::uint64_t size_ = 0;      // of the file now written, as far as known
    bool mid_line_ = false;       // the program's last byte was no line end
    std::size_t line_length_ = 0; // bytes of that unended line in the file now written
    change pending_ = change::none;
    std::int64_t next_midnight_ = 0;
    std::uint64_t retry_size_ = 0; // after a failed rotation: the size to try again at
    bool failing_ = false;         // the last change failed, and said so

    std::uint64_t lost_bytes_ = 0;
    std::uint32_t lost_error_ = 0;
    std::uint64_t unchecked_bytes_ = 0; // written since the file was last seen alive
    std::int64_t last_check_ = 0;
    std::int64_t last_reopen_try_ = 0;

    std::vector<std::string> notes_; // orvo's lines waiting for a line end
    news news_;
};
