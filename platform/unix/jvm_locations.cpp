// The usual places of Java runtimes on Linux: JAVA_HOME and Debian's /usr/lib/jvm, where
// several names (default-java, java-1.17.0-openjdk-amd64) are links to one runtime.
#include "platform/jvm_locations.h"

#include <climits>
#include <cstdlib>
#include <set>

#include "platform/directory_listing.h"

namespace platform {

namespace {

// The folder in which a JDK 8 keeps its architecture's libraries, under jre/lib.
#if defined(__aarch64__)
const char jdk8_architecture[] = "aarch64";
#else
const char jdk8_architecture[] = "amd64";
#endif

void add_runtime(std::vector<jvm_location>& locations, const std::string& home,
                 const std::string& source) {
    locations.push_back({home + "/lib/server/libjvm.so", source});
    locations.push_back({home + "/jre/lib/" + jdk8_architecture + "/server/libjvm.so", source});
}

// The runtimes' folders under /usr/lib/jvm by their real paths, sorted, each once.
std::vector<std::string> installed_runtimes() {
    static const std::string root = "/usr/lib/jvm/";
    std::set<std::string> homes;
    directory_search search;
    directory_entry entry;
    for (bool more = search.first(root + "*", entry); more; more = search.next(entry)) {
        if (!entry.is_directory || entry.name == "." || entry.name == "..") {
            continue;
        }
        char real[PATH_MAX];
        if (realpath((root + entry.name).c_str(), real) != nullptr) {
            homes.insert(real);
        }
    }
    return std::vector<std::string>(homes.begin(), homes.end());
}

} // namespace

std::vector<jvm_location> usual_jvm_locations() {
    std::vector<jvm_location> locations;
    const char* java_home = std::getenv("JAVA_HOME");
    if (java_home != nullptr && *java_home != '\0') {
        add_runtime(locations, java_home, "JAVA_HOME");
    }
    for (const std::string& home : installed_runtimes()) {
        add_runtime(locations, home, "/usr/lib/jvm");
    }
    return locations;
}

} // namespace platform
