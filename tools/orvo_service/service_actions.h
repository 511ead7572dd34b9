// orvo-service's three actions, on the local service control manager. Each returns the
// program's exit status: 0 done, 1 failed or refused (with a message saying what to do).
#pragma once

#include <string>

#include "tools/orvo_service/service_command.h"

// Every refusal comes before the service is created; what the manager then refuses to
// store of the optional settings is a warning naming what is not set.
int install_service(const install_request& request);

// Stops the service, waiting up to its stop_timeout (30 s without one), and deletes it;
// the settings file and the logs stay. Only a service that runs orvo.exe is removed.
int remove_service(const std::string& name);

int show_service(const std::string& name);
