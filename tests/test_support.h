// Helpers shared by the unit tests: a private temporary folder and small file helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orvo_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary directory, removed with its content when
// the object goes away.
class temp_dir {
  public:
    temp_dir() {
        std::random_device random;
        for (;;) {
            path_ = fs::temp_directory_path() / ("orvo-test-" + std::to_string(random()));
            if (fs::create_directory(path_)) {
                break;
            }
        }
    }
    ~temp_dir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const fs::path& path() const { return path_; }
    // The path of `name` inside the folder, as a narrow string with "/" separators.
    std::string operator/(const std::string& name) const { return (path_ / name).generic_string(); }

  private:
    fs::path path_;
};

inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `text` as it may stand in an XML attribute value quoted with ' or in element content.
inline std::string xml_escaped(const std::string& text) {
    std::string result;
    for (const char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '\'':
            result += "&apos;";
            break;
        default:
            result += c;
        }
    }
    return result;
}

// The fields of a settings file as the tests write them; empty fields are written as
// empty attributes.
struct settings_document {
    std::string stdout_log;
    std::string stderr_log;
    std::string log_rotation; // further attributes of "log", as written: "max_size='1K'"
    std::string dll_path;
    std::string class_path;
    std::vector<std::string> options;
    std::string class_name;
    std::string start_method;
    std::string stop_method;
    std::vector<std::string> parameters;
    std::string start_timeout; // the server's attributes; not written when empty
    std::string stop_timeout;
    // A process element, written when either is set: its working directory, and its env
    // elements as {name, value} (a value of "-" leaves the attribute out).
    std::string working_directory;
    std::vector<std::pair<std::string, std::string>> env;
};

inline std::string process_xml(const settings_document& document) {
    if (document.working_directory.empty() && document.env.empty()) {
        return std::string();
    }
    std::string xml = "  <process";
    if (!document.working_directory.empty()) {
        xml += " working_directory='" + xml_escaped(document.working_directory) + "'";
    }
    xml += ">\n";
    for (const auto& [name, value] : document.env) {
        xml += "    <env name='" + xml_escaped(name) + "'" +
               (value == "-" ? std::string() : " value='" + xml_escaped(value) + "'") + "/>\n";
    }
    return xml + "  </process>\n";
}

// The settings file for `document`, every value escaped.
inline std::string settings_xml(const settings_document& document) {
    std::string xml = "<?xml version='1.0' encoding='UTF-8'?>\n<setting>\n"
                      "  <log stdout='" +
                      xml_escaped(document.stdout_log) + "' stderr='" +
                      xml_escaped(document.stderr_log) + "'" +
                      (document.log_rotation.empty() ? "" : " " + document.log_rotation) +
                      "/>\n  <jvm dll_path='" + xml_escaped(document.dll_path) + "' class_path='" +
                      xml_escaped(document.class_path) + "'>\n";
    for (const std::string& option : document.options) {
        xml += "    <option>" + xml_escaped(option) + "</option>\n";
    }
    xml += "  </jvm>\n  <server class='" + xml_escaped(document.class_name) + "' start_method='" +
           xml_escaped(document.start_method) + "' stop_method='" +
           xml_escaped(document.stop_method) + "'";
    if (!document.start_timeout.empty()) {
        xml += " start_timeout='" + xml_escaped(document.start_timeout) + "'";
    }
    if (!document.stop_timeout.empty()) {
        xml += " stop_timeout='" + xml_escaped(document.stop_timeout) + "'";
    }
    xml += ">\n";
    for (const std::string& parameter : document.parameters) {
        xml += "    <start_method_param>" + xml_escaped(parameter) + "</start_method_param>\n";
    }
    return xml + "  </server>\n" + process_xml(document) + "</setting>\n";
}

// The names in `directory`, in the order in which the system lists them ("." and ".."
// left out), for tests whose expectation depends on that order.
inline std::vector<std::string> listed_names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Runs the test body with `directory` as the current directory, restoring it after.
class current_directory {
  public:
    explicit current_directory(const fs::path& directory) : saved_(fs::current_path()) {
        fs::current_path(directory);
    }
    ~current_directory() { fs::current_path(saved_); }
    current_directory(const current_directory&) = delete;
    current_directory& operator=(const current_directory&) = delete;

  private:
    fs::path saved_;
};

} // namespace orvo_test
