#include "tools/orvo_service/service_output.h"

#include <iostream>

namespace {

constexpr std::uint32_t error_access_denied = 5;

// What JSON mode gathers; one program run, one command.
struct gathered {
    bool json = false;
    std::vector<std::string> warnings;
    std::string error;
};

gathered& output() {
    static gathered state;
    return state;
}

// Each line of `lines` on its own, without its line end.
template <typename Each> void for_each_line(const std::string& lines, Each each) {
    std::string::size_type begin = 0;
    while (begin < lines.size()) {
        std::string::size_type end = lines.find('\n', begin);
        end = end == std::string::npos ? lines.size() : end;
        if (end > begin) {
            each(lines.substr(begin, end - begin));
        }
        begin = end + 1;
    }
}

void add_error(const std::string& text) {
    std::string& error = output().error;
    error += (error.empty() ? "" : "\n") + text;
}

} // namespace

void speak_json() {
    output().json = true;
}

bool speaking_json() {
    return output().json;
}

void say_error(const std::string& text) {
    if (output().json) {
        add_error(text);
    } else {
        std::cerr << "orvo-service: error: " << text << '\n';
    }
}

void say_warning(const std::string& text) {
    if (output().json) {
        output().warnings.push_back(text);
    } else {
        std::cerr << "orvo-service: warning: " << text << '\n';
    }
}

void say_warning_lines(const std::string& lines) {
    if (output().json) {
        for_each_line(lines, [](const std::string& line) { output().warnings.push_back(line); });
    } else {
        std::cerr << lines;
    }
}

void say_error_lines(const std::string& lines) {
    if (output().json) {
        for_each_line(lines, add_error);
    } else {
        std::cerr << lines;
    }
}

void say_done(const std::string& line) {
    if (!output().json) {
        std::cout << line << '\n';
    }
}

const std::vector<std::string>& gathered_warnings() {
    return output().warnings;
}

const std::string& gathered_error() {
    return output().error;
}

void print_json(const nlohmann::ordered_json& answer) {
    // Text that is not UTF-8 (a path in another code page) is shown with U+FFFD rather than
    // failing the whole answer.
    std::cout << answer.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
}

void print_json_error() {
    nlohmann::ordered_json answer = {{"error", output().error}};
    if (!output().warnings.empty()) {
        answer["warnings"] = output().warnings;
    }
    print_json(answer);
}

bool opened(const platform::service_manager& manager) {
    if (manager.opened()) {
        return true;
    }
    say_error("the service control manager cannot be opened: " + manager.failure().message +
              (manager.failure().code == error_access_denied
                   ? "; run orvo-service from a command prompt started as administrator"
                   : ""));
    return false;
}

void say_unreadable(const std::string& name, const platform::system_failure& failure) {
    say_error(failure.code == platform::error_service_does_not_exist
                  ? "there is no service \"" + name + "\""
                  : "the service \"" + name + "\" cannot be read: " + failure.message);
}
