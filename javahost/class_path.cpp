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

std::vector<std::string> class_path_items(const std::string& class_path) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start < class_path.size()) {
        std::string::size_type end = class_path.find(';', start);
        if (end == std::string::npos) {
            end = class_path.size();
        }
        if (end > start) {
            items.push_back(class_path.substr(start, end - start));
        }
        start = end + 1;
    }
    return items;
}

std::string build_class_path(const std::string& class_path) {
    std::string output;
    for (const std::string& item : class_path_items(class_path)) {
        append_item(item, output);
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
    return class_path_option_prefix + class_path;
}

bool is_class_path_option(const std::string& option) {
    return option.compare(0, sizeof class_path_option_prefix - 1, class_path_option_prefix) == 0;
}

void add_class_path_option(settings_record& record) {
    if (!record.class_path.empty()) {
        record.options.push_back(make_class_path_option(build_class_path(record.class_path)));
    }
}
