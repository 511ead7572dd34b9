// How orvo-service speaks: errors and warnings on standard error, each with what to do.
#pragma once

#include <string>

#include "platform/service_manager.h"

void say_error(const std::string& text);   // "orvo-service: error: TEXT"
void say_warning(const std::string& text); // "orvo-service: warning: TEXT"

// True when the manager is open; else says why not, and what to do when the reason is
// missing rights.
bool opened(const platform::service_manager& manager);

// Says that the service `name` cannot be read, or that there is none.
void say_unreadable(const std::string& name, const platform::system_failure& failure);
