// The diagnostic lines: how the Java host reports its own failures.
//
// Each line begins "error: ", ends with CR LF, and goes to the process's standard error as
// one write; after the service's start-up that is the standard-error log file. Nothing is
// added: no time stamp, no error code.
#pragma once

#include <sstream>
#include <string>

// The lines themselves, each composed in a fresh stream and written as above.
void report_no_library();                                   // couldn't load jvm.dll.
void report_no_entry_point();                               // couldn't get function pointer.
void report_vm_not_created();                               // couldn't create JavaVM.
void report_class_not_found(const std::string& class_name); // class "..." not found.
void report_method_not_found(const std::string& method);    // method "..." not found.
void report_not_attached();                                 // couldn't attach to JavaVM.
void report_no_parameters(const std::string& method);       // parameters of "..." not made
void report_vm_exited(int status);                          // the Java VM exited with status N.
// loading class "CLASS" threw EXCEPTION_CLASS.
void report_class_threw(const std::string& class_name, const std::string& exception_class);
// the start method "NAME" of "CLASS" threw EXCEPTION_CLASS.
void report_start_threw(const std::string& method, const std::string& class_name,
                        const std::string& exception_class);
// "error: " and `problem` (vm_options.h: an option the VM cannot be given).
void report_unpassable_option(const std::string& problem);

// Lines written where nothing may be allocated (a signal handler of the Java VM): fixed
// bytes, one write.
void report_vm_not_created_quietly(); // couldn't create JavaVM.
void report_vm_aborted();             // the Java VM aborted.
