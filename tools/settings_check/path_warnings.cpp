// The checks of paths, as the service would resolve them: the working directory, the two
// logs, the JVM library and the class path items.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <list>
#include <set>

#include "javahost/class_path.h"
#include "platform/file_status.h"
#include "settings/settings.h"
#include "settings/visible_text.h"
#include "tools/settings_check/settings_facts.h"

namespace {

#ifdef _WIN32
const char relative_consequence[] = "a Windows service resolves it in C:\\Windows\\System32";
const char create_log_folder[] = "create the folder";
// "-" leaves a stream where orvo's own goes: the console of orvo --console, and nowhere
// under the service control manager, which gives a service no standard handles.
const char* const stream_left_alone_warning =
    "is \"-\", which leaves the stream where orvo's own goes: the console of orvo --console, "
    "but nowhere when orvo runs as a service, which has no console: the output is lost; name a "
    "file for a service";
#else
const char relative_consequence[] =
    "a systemd service resolves it in \"/\" unless its unit sets WorkingDirectory=";
const char create_log_folder[] =
    "create the folder, or let the unit's LogsDirectory= make it when the service starts";
// Under systemd orvo's own streams are the journal's.
const char* const stream_left_alone_warning = nullptr;
#endif

// Where relative paths lead: the working directory, when the settings set one.
struct path_base {
    std::string folder; // "" for this process's current folder
    bool set = false;   // a working directory is set, so relative paths are meaningful
};

// White space at the ends of a path is part of it and is reported alone: the path's other
// checks would only describe its consequences.
bool report_white_space(const std::string& what, const std::string& path, text_position at,
                        std::vector<settings_warning>& warnings) {
    const std::string ends = white_space_at_ends(path);
    if (!ends.empty()) {
        add_warning(warnings, at, "white_space",
                    what + " " + shown(path) + " " + ends +
                        ", which orvo keeps as part of the path: remove it");
    }
    return !ends.empty();
}

void check_relative(const std::string& what, const std::string& path, const path_base& base,
                    text_position at, std::vector<settings_warning>& warnings) {
    if (!base.set && !platform::is_absolute_path(path)) {
        add_warning(warnings, at, "relative_path",
                    what + " " + shown(path) + " is relative: " + relative_consequence +
                        "; set working_directory in a \"process\" element, or write the whole "
                        "path");
    }
}

path_base working_directory(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    path_base base;
    const element_occurrence* process = facts.last_of("process");
    const std::string folder = process != nullptr ? process->attribute("working_directory") : "";
    if (folder.empty()) {
        return base;
    }
    base.set = true;
    if (report_white_space("the working directory", folder, process->at, warnings)) {
        return base;
    }
    // A relative working directory is relative to the settings file's own folder, as the
    // service resolves it.
    base.folder = platform::resolved_in(platform::folder_of(facts.path), folder);
    if (platform::kind_of_path(base.folder) != platform::path_kind::directory) {
        add_warning(warnings, process->at, "working_directory_missing",
                    "the working directory " + shown(folder) +
                        (base.folder != folder ? " (" + shown(base.folder) + ")" : "") +
                        " is no folder: the service will not start; create it or correct the "
                        "path");
    }
    return base;
}

void check_log(const char* name, const std::string& path, const path_base& base, text_position at,
               std::vector<settings_warning>& warnings) {
    const std::string what = std::string("the ") + name + " log";
    if (leaves_stream_alone(path)) {
        if (stream_left_alone_warning != nullptr) {
            add_warning(warnings, at, "log_left_alone", what + " " + stream_left_alone_warning);
        }
        return;
    }
    if (path.empty() || report_white_space(what, path, at, warnings)) {
        return;
    }
    check_relative(what, path, base, at, warnings);
    const std::string file = platform::resolved_in(base.folder, path);
    const std::string folder = platform::containing_folder(file);
    const platform::path_kind kind = platform::kind_of_path(file);
    const std::string fails = ": the service cannot open it, and its start fails";
    const std::string account = " (the service's account may differ from the user running "
                                "orvo-check); let the service's account write there";
    if (kind == platform::path_kind::directory) {
        add_warning(warnings, at, "log_not_writable",
                    what + " " + shown(path) + " is a folder" + fails + "; name a file");
    } else if (platform::kind_of_path(folder) != platform::path_kind::directory) {
        add_warning(warnings, at, "log_folder_missing",
                    "the folder " + shown(folder) + " of " + what + " does not exist" + fails +
                        "; " + create_log_folder);
    } else if (kind == platform::path_kind::file && !platform::may_write(file)) {
        add_warning(warnings, at, "log_not_writable",
                    what + " " + shown(file) + " may not be written by this user" + fails +
                        account);
    } else if (kind == platform::path_kind::missing && !platform::may_write(folder)) {
        add_warning(warnings, at, "log_not_writable",
                    "this user may not create " + what + " in the folder " + shown(folder) + fails +
                        account);
    }
}

void check_logs(const settings_facts& facts, const path_base& base,
                std::vector<settings_warning>& warnings) {
    const element_occurrence* log = facts.last_of("log");
    if (log != nullptr) {
        check_log("stdout", log->attribute("stdout"), base, log->at, warnings);
        check_log("stderr", log->attribute("stderr"), base, log->at, warnings);
    }
}

// A bare name is looked for along the system's library search order, whatever the working
// directory.
void check_library(const settings_facts& facts, const path_base& base,
                   std::vector<settings_warning>& warnings) {
    const element_occurrence* jvm = facts.last_of("jvm");
    const std::string path = jvm != nullptr ? jvm->attribute("dll_path") : "";
    if (path.empty() || report_white_space("dll_path", path, jvm->at, warnings)) {
        return;
    }
    if (!platform::names_folder(path)) {
        add_warning(warnings, jvm->at, "relative_path",
                    "dll_path " + shown(path) +
                        " names no folder: the system looks for it along its library search "
                        "order, not in a folder of yours; write the whole path");
        return;
    }
    check_relative("dll_path", path, base, jvm->at, warnings);
}

// Two items name the same thing when their paths are the same once "." and ".." are taken
// out (letter case aside on Windows).
std::string same_place_key(const std::string& path) {
    std::string key = path;
    try {
        key = std::filesystem::u8path(path).lexically_normal().generic_u8string();
    } catch (const std::exception&) {
        // Bytes that are not UTF-8, on Windows: compare as written.
    }
#ifdef _WIN32
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
#endif
    return key;
}

// The length of the well-formed UTF-8 sequence at `at` (no overlong form, no surrogate,
// nothing beyond U+10FFFF); 0 when there is none.
std::size_t utf8_sequence(const std::string& text, std::size_t at) {
    const auto byte = [&text](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned first = byte(at);
    const auto follows = [&byte](std::size_t i) { return (byte(i) & 0xc0) == 0x80; };
    if (first < 0x80) {
        return 1;
    }
    if (first >= 0xc2 && first <= 0xdf) {
        return follows(at + 1) ? 2 : 0;
    }
    if (first >= 0xe0 && first <= 0xef) {
        const unsigned second = byte(at + 1);
        const bool allowed = (first != 0xe0 || second >= 0xa0) && (first != 0xed || second < 0xa0);
        return allowed && follows(at + 1) && follows(at + 2) ? 3 : 0;
    }
    if (first >= 0xf0 && first <= 0xf4) {
        const unsigned second = byte(at + 1);
        const bool allowed = (first != 0xf0 || second >= 0x90) && (first != 0xf4 || second < 0x90);
        return allowed && follows(at + 1) && follows(at + 2) && follows(at + 3) ? 4 : 0;
    }
    return 0;
}

// `text` in double quotes, control characters and every byte that is not part of UTF-8
// shown as \xNN; empty when `text` is UTF-8 throughout.
std::string shown_if_not_utf8(const std::string& text) {
    std::string bytes;
    bool valid = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_sequence(text, at);
        if (length == 0) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
            bytes += escaped;
            valid = false;
            ++at;
        } else {
            bytes += visible(text.substr(at, length));
            at += length;
        }
    }
    return valid ? std::string() : '"' + bytes + '"';
}

// The Java VM takes the class path as text in its own character set (on Linux the locale's,
// UTF-8 on every current system): a file whose name is other bytes is not found under it.
// The names that the settings file itself gives are UTF-8 already, as the XML parser
// delivers them; those that a folder's listing adds need not be.
void check_jar_names(const std::string& item, const std::list<std::string>& jars, text_position at,
                     std::vector<settings_warning>& warnings) {
    for (const std::string& jar : jars) {
        const std::string shown_jar = shown_if_not_utf8(jar);
        if (!shown_jar.empty()) {
            add_warning(warnings, at, "path_not_utf8",
                        "the class path item " + shown(item) + " finds " + shown_jar +
                            ", whose name is not UTF-8: the Java VM reads the class path as "
                            "text and will not find that file; rename it");
        }
    }
}

void check_starred_item(const std::string& item, const std::string& prefix, text_position at,
                        std::vector<settings_warning>& warnings) {
    std::list<std::string> jars;
    collect_jar_files(prefix, jars);
    if (!jars.empty()) {
        check_jar_names(item, jars, at, warnings);
        return;
    }
    std::string folder = platform::folder_of(prefix);
    const std::string name_start = prefix.substr(folder.size());
    folder = folder.empty() ? "." : folder;
    std::string reason;
    if (platform::kind_of_path(folder) != platform::path_kind::directory) {
        reason = "the folder " + shown(folder) + " does not exist";
    } else if (name_start.empty()) {
        reason = "the folder " + shown(folder) +
                 " holds no file whose name ends in \".jar\" (exactly so: \".JAR\" is not taken)";
    } else {
        reason = "the folder " + shown(folder) + " holds no file whose name begins with " +
                 shown(name_start) +
                 " and ends in \".jar\"; for the .jar files of a folder, write the folder, a "
                 "separator, then \"*\"";
    }
    add_warning(warnings, at, "class_path_no_jars",
                "the class path item " + shown(item) + " finds no .jar file: " + reason);
}

void check_plain_item(const std::string& item, const std::string& path, text_position at,
                      std::vector<settings_warning>& warnings) {
    if (platform::kind_of_path(path) != platform::path_kind::missing) {
        return;
    }
    std::string message = "the class path item " + shown(item) + " does not exist";
    if (path != item) {
        message += " (" + shown(path) + ")";
    }
    if (item.find('*') != std::string::npos) {
        message += ": only an item whose last character is \"*\" stands for the .jar files of "
                   "a folder, as in \"lib/*\"";
    } else {
        message += ": the JVM finds nothing there; correct or remove it";
    }
    add_warning(warnings, at, "class_path_missing", message);
}

void check_class_path(const settings_facts& facts, const path_base& base,
                      std::vector<settings_warning>& warnings) {
    const element_occurrence* jvm = facts.last_of("jvm");
    const std::string class_path = jvm != nullptr ? jvm->attribute("class_path") : "";
    std::set<std::string> seen;
    for (const std::string& item : class_path_items(class_path)) {
        if (report_white_space("the class path item", item, jvm->at, warnings)) {
            continue;
        }
        check_relative("the class path item", item, base, jvm->at, warnings);
        const bool starred = item.back() == '*';
        const std::string path =
            platform::resolved_in(base.folder, starred ? item.substr(0, item.size() - 1) : item);
        if (starred) {
            check_starred_item(item, path, jvm->at, warnings);
        } else {
            check_plain_item(item, path, jvm->at, warnings);
        }
        const std::string key = same_place_key(path) + (starred ? "*" : "");
        if (!seen.insert(key).second) {
            add_warning(warnings, jvm->at, "class_path_duplicate",
                        "the class path item " + shown(item) + " names " +
                            (starred ? "a folder" : "a path") +
                            " that an item before it names too, so the JVM gets it twice: "
                            "keep one of them");
        }
    }
}

} // namespace

void check_paths(const settings_facts& facts, std::vector<settings_warning>& warnings) {
    const path_base base = working_directory(facts, warnings);
    check_logs(facts, base, warnings);
    check_library(facts, base, warnings);
    check_class_path(facts, base, warnings);
}
