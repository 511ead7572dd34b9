// The rotated files of a log, as the tests read them back.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "service/log_rotation.h"

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

} // namespace orvo_test
