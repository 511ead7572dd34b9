// A dry run of the service's Java start, for operators: the VM is created and the class
// and methods are looked up exactly as the service would, but no start or stop method is
// called. Looking the class up runs its static initialiser, as it does in the service.
#pragma once

#include <cstddef>
#include <string>

#include "settings/settings.h"

struct start_check_result {
    int created = -1;                    // create_java_vm's create_result
    std::string load_error;              // why the library could not be loaded, as the system says
    bool class_found = false;            // FindClass found class_name
    bool start_found = false;            // a start variant the service would call exists
    bool start_takes_parameters = false; // that variant is the String[] one
    std::size_t parameter_count = 0;     // what the String[] variant would receive
    bool stop_found = false;             // the static "()V" stop method exists

    // Everything the service needs is there.
    bool passed() const;
};

// Creates the VM from `record` and looks up the server class, the start method and the
// stop method as start_server and stop_server do. Every failure writes the line that the
// service would write. The VM is left running: a process can create only one.
start_check_result check_java_start(settings_record& record);
