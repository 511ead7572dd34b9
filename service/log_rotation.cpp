#include "service/log_rotation.h"

#include <algorithm>
#include <cstdio>

#include "platform/directory_listing.h"
#include "platform/file_status.h"
#include "platform/last_error.h"
#include "platform/log_files.h"

namespace {

// "YYYYMMDD-HHMMSS.mmm"
constexpr std::size_t stamp_length = 19;

struct name_parts {
    std::string stem;      // up to the extension
    std::string extension; // from its last dot on; empty when there is none
};

// A leading dot starts a hidden file's name, not its extension.
name_parts parts_of(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return {name, std::string()};
    }
    return {name.substr(0, dot), name.substr(dot)};
}

std::string stamp_of(const platform::local_time& at) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d.%03d", at.year % 10000, at.month,
                  at.day, at.hour, at.minute, at.second, at.millisecond);
    return text;
}

bool is_leap_year(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

// The number that `length` digits of `text` at `from` write; -1 when one is no digit.
int number_at(const std::string& text, std::size_t from, std::size_t length) {
    int value = 0;
    for (std::size_t i = from; i < from + length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool read_stamp(const std::string& stamp, platform::local_time& at) {
    if (stamp.size() != stamp_length || stamp[8] != '-' || stamp[15] != '.') {
        return false;
    }
    at.year = number_at(stamp, 0, 4);
    at.month = number_at(stamp, 4, 2);
    at.day = number_at(stamp, 6, 2);
    at.hour = number_at(stamp, 9, 2);
    at.minute = number_at(stamp, 11, 2);
    at.second = number_at(stamp, 13, 2);
    at.millisecond = number_at(stamp, 16, 3);
    return at.year >= 0 && at.month >= 1 && at.month <= 12 && at.day >= 1 &&
           at.day <= days_in_month(at.year, at.month) && at.hour >= 0 && at.hour <= 23 &&
           at.minute >= 0 && at.minute <= 59 && at.second >= 0 && at.second <= 60 &&
           at.millisecond >= 0;
}

// The stamp one millisecond after `stamp`, which read_stamp accepts.
std::string stamp_after(const std::string& stamp) {
    platform::local_time at;
    read_stamp(stamp, at);
    if (++at.millisecond < 1000) {
        return stamp_of(at);
    }
    at.millisecond = 0;
    if (++at.second < 60) {
        return stamp_of(at);
    }
    at.second = 0;
    if (++at.minute < 60) {
        return stamp_of(at);
    }
    at.minute = 0;
    if (++at.hour < 24) {
        return stamp_of(at);
    }
    at.hour = 0;
    if (++at.day <= days_in_month(at.year, at.month)) {
        return stamp_of(at);
    }
    at.day = 1;
    if (++at.month > 12) {
        at.month = 1;
        ++at.year;
    }
    return stamp_of(at);
}

// The name that `live_name` gets with `stamp` between its stem and its extension.
std::string stamped_name(const std::string& live_name, const std::string& stamp) {
    const name_parts parts = parts_of(live_name);
    return parts.stem + "." + stamp + parts.extension;
}

// The stamp in a name that is_rotated_name accepts.
std::string stamp_in(const std::string& live_name, const std::string& name) {
    return name.substr(parts_of(live_name).stem.size() + 1, stamp_length);
}

} // namespace

rotation_rules rotation_rules_of(const settings_record& record) {
    rotation_rules rules;
    rules.max_size = record.max_size;
    rules.daily = record.daily;
    rules.max_files = record.max_files;
    return rules;
}

std::string rotated_name(const std::string& live_name, const platform::local_time& at) {
    return stamped_name(live_name, stamp_of(at));
}

bool is_rotated_name(const std::string& live_name, const std::string& name) {
    const name_parts parts = parts_of(live_name);
    const std::size_t length = parts.stem.size() + 1 + stamp_length + parts.extension.size();
    platform::local_time at;
    return name.size() == length && name.compare(0, parts.stem.size(), parts.stem) == 0 &&
           name[parts.stem.size()] == '.' &&
           name.compare(length - parts.extension.size(), parts.extension.size(), parts.extension) ==
               0 &&
           read_stamp(name.substr(parts.stem.size() + 1, stamp_length), at);
}

rotated_files::rotated_files(const std::string& live_path)
    : folder_(platform::folder_of(live_path)), live_name_(live_path.substr(folder_.size())) {
    const std::vector<std::string> found = names();
    if (!found.empty()) {
        newest_stamp_ = stamp_in(live_name_, found.back());
    }
}

std::vector<std::string> rotated_files::names() const {
    std::vector<std::string> found;
    platform::directory_search search;
    platform::directory_entry entry;
    const std::string pattern = folder_ + parts_of(live_name_).stem + ".*";
    for (bool more = search.first(pattern, entry); more; more = search.next(entry)) {
        if (!entry.is_directory && is_rotated_name(live_name_, entry.name)) {
            found.push_back(entry.name);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string rotated_files::next_path(std::int64_t now) {
    std::string stamp = stamp_of(platform::local_time_at(now));
    if (!newest_stamp_.empty() && stamp <= newest_stamp_) {
        stamp = stamp_after(newest_stamp_);
    }
    newest_stamp_ = stamp;
    return folder_ + stamped_name(live_name_, stamp);
}

void rotated_files::keep_newest(std::uint32_t keep) const {
    const std::vector<std::string> found = names();
    for (std::size_t i = 0; i + keep < found.size(); ++i) {
        platform::remove_file(folder_ + found[i]);
    }
}

rotation_step rotate_live_file(const std::string& path, platform::file_handle current,
                               rotated_files& names, std::int64_t now) {
    rotation_step step;
    if (platform::names_open_file(path, current)) {
        const std::string to = names.next_path(now);
        step.error = platform::rename_file(path, to);
        if (step.error != 0) {
            return step;
        }
        step.rotated = to;
    }
    const std::uint32_t kept_error = platform::last_error();
    step.file = platform::open_log_file(path);
    if (step.file == platform::invalid_file_handle) {
        step.error = platform::last_error();
        if (!step.rotated.empty()) {
            platform::rename_file(step.rotated, path); // the old file keeps its name
            step.rotated.clear();
        }
    } else {
        platform::move_to_end(step.file);
    }
    platform::set_last_error(kept_error);
    return step;
}
