// Finding what the service calls in the Java VM: the server class, its start method (one
// of two variants) and its stop method. start_server and stop_server use these, and so
// does orvo-check's dry run, so that both see and report the same.
#pragma once

#include <jni.h>

#include "settings/settings.h"

// The JNIEnv of the calling thread, attached to java_vm. Null when the attach failed; the
// line for that has then been written and the thread is not attached.
JNIEnv* attach_current_thread();

// The class named by class_name, passed unchanged. Null when the VM cannot give it: after
// the class line when it is not there (the VM's NoClassDefFoundError or
// ClassNotFoundException, left pending as the VM left it); otherwise its loading threw
// (ExceptionInInitializerError from a static initialiser, a class file the VM refuses), the
// program's own failure: after the VM's description and a line that names what it threw,
// with `load_threw`, when given, set.
jclass find_server_class(JNIEnv* env, const settings_record& record, bool* load_threw = nullptr);

// The start method that the service calls.
struct start_method_choice {
    jmethodID method = nullptr;
    bool takes_parameters = false; // the String[] variant rather than the one without
};

// Chooses the start method: the static "([Ljava/lang/String;)V" variant if there is one,
// otherwise the static "()V" variant if no parameters are configured. False, after the
// method line, when neither fits.
bool choose_start_method(JNIEnv* env, jclass server, const settings_record& record,
                         start_method_choice& choice);

// The static "()V" method named by stop_method; null, after the method line, when there
// is none.
jmethodID find_stop_method(JNIEnv* env, jclass server, const settings_record& record);
