// Starting and stopping the hosted Java server through its static methods.
//
// Each call attaches the calling thread to java_vm for its own length and detaches it on
// every way out, so that the VM can later be destroyed from another thread. A missing
// class or method is reported by a diagnostic line; an exception thrown by the Java method
// is printed by the VM. The caller goes on in every case: neither tells whether the Java
// method ran. Both need a VM that create_java_vm created.
#pragma once

// Calls the start method on the calling thread and returns when it has returned: the
// String[] variant with the configured parameters (an empty array when there are none),
// or else the variant without parameters when none are configured.
void start_server();

// Calls the static "()V" stop method on the calling thread and returns when it has
// returned.
void stop_server();
