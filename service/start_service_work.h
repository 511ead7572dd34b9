#pragma once

// Brings the Java side up: reads the settings file named by the first argument, makes
// the two log files standard output and error, creates the Java VM and calls the start
// method. 1 when the Java VM exists; 0, with the last-error code set, when it does not.
int start_service_work();
