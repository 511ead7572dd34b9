#include "tools/orvo_service/service_output.h"

#include <iostream>

namespace {

constexpr std::uint32_t error_access_denied = 5;
constexpr std::uint32_t error_service_does_not_exist = 1060;

} // namespace

void say_error(const std::string& text) {
    std::cerr << "orvo-service: error: " << text << '\n';
}

void say_warning(const std::string& text) {
    std::cerr << "orvo-service: warning: " << text << '\n';
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
    say_error(failure.code == error_service_does_not_exist
                  ? "there is no service \"" + name + "\""
                  : "the service \"" + name + "\" cannot be read: " + failure.message);
}
