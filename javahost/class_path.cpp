#include "javahost/class_path.h"

#include "platform/directory_listing.h"

namespace {

bool ends_with_jar(const std::string& path) {
    static const std::string jar = ".jar";
    return path.size() >= jar.size() &&
           path.compare(path.size() - jar.size(), jar.size(), jar) == 0;
}

void append_item(const std::string& item, std::string& output) {
    if (item.back() != '*') {
        output += item;
        output += ';';
        return;
    }
    std::list<std::string> paths;
    collect_jar_files(item.substr(0, item.size() - 1), paths);
    for (const std::string& path : paths) {
        output += path;
        output += ';';
    }
}

} // namespace

std::string build_class_path(const std::string& class_path) {
    std::string output;
    std::string::size_type start = 0;
    while (start <= class_path.size()) {
        std::string::size_type end = class_path.find(';', start);
        if (end == std::string::npos) {
            end = class_path.size();
        }
        if (end > start) {
            append_item(class_path.substr(start, end - start), output);
        }
        start = end + 1;
    }
    return output;
}

void collect_jar_files(const std::string& prefix, std::list<std::string>& paths) {
    platform::directory_search search;
    platform::directory_entry entry;
    if (!search.first(prefix + "*", entry)) {
        return;
    }
    do {
        // Sub-directories are never entered, and one named like a .jar file is no jar.
        if (entry.is_directory) {
            continue;
        }
        std::string path = prefix + entry.name;
        if (ends_with_jar(path)) {
            paths.push_back(std::move(path));
        }
    } while (search.next(entry));
}

std::string make_class_path_option(const std::string& class_path) {
    return "-Djava.class.path=" + class_path;
}
