#include "tools/settings_check/load_diagnosis.h"

#include <set>
#include <utility>

#include "platform/dynamic_library.h"

namespace {

std::string lower_case(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// Names of API sets, which the system resolves itself (Windows 10 and later keep no file
// of that name in its folders).
bool is_api_set(const std::string& name) {
    const std::string lower = lower_case(name);
    return lower.compare(0, 11, "api-ms-win-") == 0 || lower.compare(0, 7, "ext-ms-") == 0;
}

// Looks for a library's imports as the loader does: by name, case aside, the first folder
// that has the file; a name already met is the module already loaded. The libraries found
// in the system's folders are the system's own and are not looked into.
class import_walk {
  public:
    explicit import_walk(std::vector<platform::library_folder> folders)
        : folders_(std::move(folders)) {}

    bool find_missing(const std::string& library, std::vector<std::string>& chain, int depth) {
        for (const std::string& name : imported_libraries(library)) {
            if (!seen_.insert(lower_case(name)).second) {
                continue;
            }
            const platform::library_folder* folder = locate(name);
            if (folder == nullptr && !is_api_set(name)) {
                chain.push_back(name);
                return true;
            }
            if (folder == nullptr || folder->system || depth >= max_depth) {
                continue;
            }
            chain.push_back(name);
            if (find_missing(platform::in_folder(folder->path, name), chain, depth + 1)) {
                return true;
            }
            chain.pop_back();
        }
        return false;
    }

  private:
    static constexpr int max_depth = 16;

    const platform::library_folder* locate(const std::string& name) const {
        for (const platform::library_folder& folder : folders_) {
            if (platform::kind_of_path(platform::in_folder(folder.path, name)) ==
                platform::path_kind::file) {
                return &folder;
            }
        }
        return nullptr;
    }

    std::vector<platform::library_folder> folders_;
    std::set<std::string> seen_;
};

void walk_imports(load_diagnosis& diagnosis) {
    std::vector<platform::library_folder> folders = platform::dependency_folders(diagnosis.path);
    if (folders.empty() || diagnosis.format.family != binary_family::pe) {
        return;
    }
    diagnosis.imports_walked = true;
    for (const platform::library_folder& folder : folders) {
        diagnosis.searched_folders.push_back(folder.path);
    }
    import_walk(std::move(folders)).find_missing(diagnosis.path, diagnosis.missing_import, 0);
}

} // namespace

load_diagnosis diagnose_load_failure(const std::string& path, const std::string& system_message) {
    load_diagnosis diagnosis;
    diagnosis.path = path;
    diagnosis.system_message = system_message;
    diagnosis.names_folder = platform::names_folder(path);
    diagnosis.hints = jvm_hints(path);
    if (!diagnosis.names_folder) {
        return diagnosis;
    }
    diagnosis.kind = platform::kind_of_path(path);
    if (diagnosis.kind != platform::path_kind::file) {
        return diagnosis;
    }
    diagnosis.readable = read_binary_format(path, diagnosis.format);
    diagnosis.loadable = diagnosis.readable && is_loadable(diagnosis.format);
    if (diagnosis.loadable) {
        walk_imports(diagnosis);
    }
    return diagnosis;
}

std::vector<platform::jvm_location> jvm_hints(const std::string& configured) {
    std::vector<platform::jvm_location> hints;
    std::set<std::string> seen{configured};
    for (platform::jvm_location& location : platform::usual_jvm_locations()) {
        binary_format format;
        if (seen.insert(location.path).second &&
            platform::kind_of_path(location.path) == platform::path_kind::file &&
            read_binary_format(location.path, format) && is_loadable(format)) {
            hints.push_back(std::move(location));
        }
    }
    return hints;
}
