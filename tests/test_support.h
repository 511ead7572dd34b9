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
