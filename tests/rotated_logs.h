// The rotated files of a log, as the tests read them back.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "service/log_rotation.h"
#include "tests/numbered_lines.h"
#include "tests/test_support.h"

namespace orvo_test {

// The rotated files of the log `live_name` in `folder`, oldest first (sorted by name), by
// the service's own rule for their names.
inline std::vector<std::string> rotated_files_of(const std::string& folder,
                                                 const std::string& live_name) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (is_rotated_name(live_name, name)) {
            found.push_back((std::filesystem::path(folder) / name).string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The whole log: its rotated files, oldest first, then the live file.
inline std::vector<std::string> log_files_of(const std::string& folder,
                                             const std::string& live_name) {
    std::vector<std::string> files = rotated_files_of(folder, live_name);
    files.push_back((std::filesystem::path(folder) / live_name).string());
    return files;
}

// What the whole log holds, in the order it was written.
inline std::string text_of_log(const std::string& folder, const std::string& live_name) {
    std::string text;
    for (const std::string& file : log_files_of(folder, live_name)) {
        text += read_file(file);
    }
    return text;
}

// The numbered lines of the whole log, each file's read apart (a line split between two
// files shows).
inline numbered_lines lines_of_log(const std::string& folder, const std::string& live_name) {
    numbered_lines lines;
    for (const std::string& file : log_files_of(folder, live_name)) {
        lines.add(read_file(file), file);
    }
    return lines;
}

} // namespace orvo_test
