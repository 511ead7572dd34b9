// Creating the process's one Java VM, and the process-wide values that the rest of the
// Java host and the service's stop path use.
#pragma once

#include <cstdint>
#include <string>

#include <jni.h>

#include "platform/dynamic_library.h"
#include "settings/settings.h"

// The result of create_java_vm.
enum create_result : int {
    create_ok = 0,             // the VM exists and java_vm points to it
    create_no_library = 1,     // the library named by dll_path could not be loaded
    create_no_entry_point = 2, // the library has no JNI_CreateJavaVM
    create_vm_failed = 3,      // JNI_CreateJavaVM failed
    create_bad_option = 4,     // an option holds a character the VM cannot be given here
};

// Why create_java_vm failed, captured where it failed: the system's code and words for a
// library that could not be loaded or has no JNI_CreateJavaVM (the code is 0 where the
// system gives none: on Linux, and when the VM itself refused to start); for an option the
// VM cannot be given, code 0 and the words of its line (without "error: ").
struct vm_failure {
    std::uint32_t code = 0;
    std::string reason;
};

// The created VM; null until create_java_vm succeeds. Not reset when the VM is destroyed.
extern JavaVM* java_vm;
// The VM library while it is loaded; null when it could not be loaded or has been
// released because the VM could not be created.
extern platform::library_handle jvm_library;
// The settings that create_java_vm was given; start_server and stop_server read them.
extern settings_record* host_settings;

// Loads the library named by `record.dll_path` and creates the Java VM with
// `record.options`, in their order, unknown options refused, each as the VM reads it on this
// system (vm_options.h); an option it cannot be given fails the creation before the library
// is loaded. Keeps the address of `record` in host_settings. On failure writes one
// diagnostic line, releases the library if it was loaded, fills `failure` when given, and
// returns the failure's create_result. Runs once per process: a process can create only one
// Java VM. The VM is also given the "exit" and "abort" hooks of vm_end.h, after the
// configured options. Handlers that the process installed for its stop signals are kept
// across the creation. Once created, the VM holds orvo.Service (service_class.h).
int create_java_vm(settings_record& record, vm_failure* failure = nullptr);

// The first step of create_java_vm, for a check that goes no further: loads the library
// named by `path` and finds JNI_CreateJavaVM in it, then releases it again. create_ok, or
// the failure's create_result after its line, with `failure` filled.
int check_vm_library(const std::string& path, vm_failure& failure);
