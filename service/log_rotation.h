// The rotation of a log file: when it is due, the names that rotated files get, which of
// them are kept, and the step that puts a new file in place of the live one. The two
// mechanisms that decide when to take the step (log_watch.cpp where the program writes the
// files itself, log_pump.cpp where orvo writes them) share these.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/local_time.h"
#include "platform/standard_handles.h"
#include "settings/settings.h"

// What the settings ask of both logs.
struct rotation_rules {
    std::optional<std::uint64_t> max_size;  // bytes; none: no rotation by size
    bool daily = false;                     // also at local midnight
    std::optional<std::uint32_t> max_files; // rotated files kept of each log; none: all

    bool rotates() const { return max_size.has_value() || daily; }

    // Whether a log of `size` bytes is due by size; `retry_size`, after a failed
    // rotation, is the size it is tried again at.
    bool due_by_size(std::uint64_t size, std::uint64_t retry_size) const {
        return max_size && size >= std::max(*max_size, retry_size);
    }
    // The size to try again at once a rotation at `size` bytes failed: max_size more, so
    // that a folder that is gone is not tried at every write.
    std::uint64_t retry_size_after(std::uint64_t size) const { return size + max_size.value_or(0); }
};

rotation_rules rotation_rules_of(const settings_record& record);

// The name of the rotated file that the live file `live_name` (a name without a folder)
// becomes at `at`: its name up to its extension, a dot, the local date and time to the
// millisecond, its extension. "app.log" becomes "app.20240131-235959.042.log", "stdout"
// becomes "stdout.20240131-235959.042". In that form names sort as they were made.
std::string rotated_name(const std::string& live_name, const platform::local_time& at);

// Whether `name` is exactly one of the names rotated_name gives `live_name`, with a date
// and a time that exist: never another log beside it, such as "app-error.log" beside
// "app.log" or a renamed "app.old.log".
bool is_rotated_name(const std::string& live_name, const std::string& name);

// The rotated files of one log, in the live file's folder.
class rotated_files {
  public:
    // Knows, from what the folder holds now, the newest rotated name of `live_path`.
    explicit rotated_files(const std::string& live_path);

    // The path for the live file's next rotated name: the time `now` says, or, where the
    // clock says a time no later than a rotated name there is (two rotations in one
    // millisecond, a clock set back), the millisecond after that name, so that the names
    // still sort as the files were written.
    std::string next_path(std::int64_t now);

    // Deletes the oldest rotated files until no more than `keep` are left. Other files
    // are never touched.
    void keep_newest(std::uint32_t keep) const;

  private:
    std::vector<std::string> names() const; // the rotated names there are, sorted

    std::string folder_; // with its separator; empty for the current folder
    std::string live_name_;
    std::string newest_stamp_; // "YYYYMMDD-HHMMSS.mmm" of the newest name; empty: none
};

// What the rotation step left.
struct rotation_step {
    platform::file_handle file = platform::invalid_file_handle; // the new live file
    std::string rotated;     // the old file's new path; empty when it was not renamed
    std::uint32_t error = 0; // the system's error when no new file is in place
};

// Renames the live file at `path`, while its path still names `current` (someone else's
// rename leaves nothing to rename), to its next rotated name, and opens a new live file
// at `path`, by the rules of the start (appended to, created when missing). The caller puts
// the new file in place of `current`. When either fails, the old file keeps its name,
// `error` says why, and nothing else has changed.
rotation_step rotate_live_file(const std::string& path, platform::file_handle current,
                               rotated_files& names, std::int64_t now);
