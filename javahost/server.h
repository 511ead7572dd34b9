// Starting and stopping the hosted Java server through its static methods.
//
// Each call attaches the calling thread to java_vm for its own length and detaches it on
// every way out, so that the VM can later be destroyed from another thread. A missing
// class or method is reported by a diagnostic line; an exception thrown by the Java method
// is printed by the VM. Both need a VM that create_java_vm created.
#pragma once

// How a start went; every outcome but start_called has had its line written.
enum class start_result {
    start_called,  // the start method ran and returned
    no_class,      // the class is not there: class "..." not found.
    class_threw,   // loading the class threw (its static initialiser, say): the VM's
                   // description, then a line naming the class and the exception's class
    no_method,     // no start variant fits: method "..." not found.
    start_threw,   // the start method ran and threw: the VM's description, then a line
                   // naming the method, the class and the exception's class
    not_attached,  // the thread could not be attached: no Java method was called
    no_parameters, // the parameter array could not be made: the method was not called
};

// Calls the start method on the calling thread and returns when it has returned: the
// String[] variant with the configured parameters (an empty array when there are none),
// or else the variant without parameters when none are configured.
start_result start_server();

// Calls the static "()V" stop method on the calling thread and returns when it has
// returned. A missing class or method, or an exception, is said and the stop goes on: the
// caller does not hear of it.
void stop_server();
