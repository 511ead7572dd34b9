// Loading the Java VM library on POSIX systems: a runtime's libjvm.so and its companion
// libraries find one another through their own run paths, so a plain load is enough.
#include "platform/dynamic_library.h"

namespace platform {

library_handle load_jvm_library(const std::string& path) {
    return load_library(path);
}

std::vector<library_folder> dependency_folders(const std::string&) {
    return {};
}

} // namespace platform
