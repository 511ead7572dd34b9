// The hooks that create_java_vm hands the Java VM as the "exit" and "abort" options.
#pragma once

#include <jni.h>

void JNICALL vm_exit_hook(jint status);
void JNICALL vm_abort_hook();

// JNI_CreateJavaVM has returned a VM: from now on an exit is the Java program's.
void note_vm_created();
