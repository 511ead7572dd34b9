// orvo-service's actions, on the local service control manager. Each returns the program's
// exit status: 0 done, 1 failed or refused (with a message saying what to do).
#pragma once

#include <string>

#include "tools/orvo_service/service_command.h"

// Every refusal comes before the service is created; what the manager then refuses to
// store of the optional settings is a warning naming what is not set.
int install_service(const install_request& request);

// Makes the service be as `request` says: installs it as install_service does when there is
// none; of one that runs orvo.exe, changes only the fields that differ, and says each. With
// `check`, changes nothing and says what would change. 0 when the service is (or could be
// made) as asked, whether or not anything changed.
int apply_service(const install_request& request, bool check);

// Stops the service, waiting up to its stop_timeout (30 s without one), and deletes it;
// the settings file and the logs stay. Only a service that runs orvo.exe is removed. A
// service that does not stop is only marked for deletion, and the answer is 1, unless
// `kill` ends its process.
int remove_service(const std::string& name, bool kill);

int show_service(const std::string& name, bool json);
