// The stop path: stop method, Java VM destroyed, VM library released, stop_event set.
//
// It may be reached more than once (a failed stop-pending report runs it before the
// handler does; a failed stopped report runs it after the end) and where there is nothing
// to stop (a report failing before the Java VM exists). It therefore acts once, and only
// on what exists.
#pragma once

// Creates stop_event (manual reset, not set); false on failure.
bool create_stop_event();

// Tells the stop path that a Java VM is up and must be stopped.
void java_side_started();

// Tells the stop path that the start method has been called (it returned or threw), so
// that the stop method is called before the Java VM is destroyed: a program that started
// threads before it threw can release them. Without it no Java method is called.
void start_method_called();

void run_stop_path();

// Closes stop_event; later runs of the stop path leave it alone.
void close_stop_event();
