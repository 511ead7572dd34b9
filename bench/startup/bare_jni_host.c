/*
 * The yardstick for orvo's start-up: the least a native program must do to run a Java
 * class's static start and stop methods. Nothing is checked beyond what keeps it from
 * crashing, nothing is logged, the VM is created on the primordial thread.
 *
 *   orvo-bare-jni-host LIBJVM CLASS START_METHOD STOP_METHOD [JVM_OPTION...]
 *
 * CLASS is slash-separated, as FindClass takes it. START_METHOD takes a String[] (it gets
 * an empty one), STOP_METHOD takes nothing. Exit status 0 when both methods ran without an
 * exception, 1 otherwise, 2 for a usage error.
 */
#include <dlfcn.h>
#include <jni.h>
#include <stdio.h>
#include <stdlib.h>

typedef jint(JNICALL* create_vm_function)(JavaVM**, void**, void*);

static int call_static(JNIEnv* env, jclass cls, const char* name, const char* signature,
                       jobject argument) {
    jmethodID method = (*env)->GetStaticMethodID(env, cls, name, signature);
    if (method == NULL) {
        fprintf(stderr, "bare host: no static %s%s\n", name, signature);
        return 0;
    }
    if (argument != NULL) {
        (*env)->CallStaticVoidMethod(env, cls, method, argument);
    } else {
        (*env)->CallStaticVoidMethod(env, cls, method);
    }
    if ((*env)->ExceptionCheck(env)) {
        (*env)->ExceptionDescribe(env);
        return 0;
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s LIBJVM CLASS START_METHOD STOP_METHOD [JVM_OPTION...]\n",
                argv[0]);
        return 2;
    }
    /* The flags the java launcher uses for the same library. */
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
    if (library == NULL) {
        fprintf(stderr, "bare host: %s\n", dlerror());
        return 1;
    }
    create_vm_function create;
    /* POSIX's way of turning dlsym's object pointer into a function pointer. */
    *(void**)&create = dlsym(library, "JNI_CreateJavaVM");
    if (create == NULL) {
        fprintf(stderr, "bare host: no JNI_CreateJavaVM\n");
        return 1;
    }

    int option_count = argc - 5;
    JavaVMOption* options = calloc(option_count > 0 ? (size_t)option_count : 1, sizeof *options);
    for (int i = 0; i < option_count; ++i) {
        options[i].optionString = argv[5 + i];
    }
    JavaVMInitArgs init;
    init.version = JNI_VERSION_1_6;
    init.nOptions = option_count;
    init.options = options;
    init.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = NULL;
    JNIEnv* env = NULL;
    if (create(&vm, (void**)&env, &init) != JNI_OK) {
        fprintf(stderr, "bare host: JNI_CreateJavaVM failed\n");
        return 1;
    }
    free(options);

    int ok = 0;
    jclass cls = (*env)->FindClass(env, argv[2]);
    if (cls == NULL) {
        (*env)->ExceptionDescribe(env);
    } else {
        jclass string_class = (*env)->FindClass(env, "java/lang/String");
        jobjectArray no_arguments = (*env)->NewObjectArray(env, 0, string_class, NULL);
        ok = call_static(env, cls, argv[3], "([Ljava/lang/String;)V", no_arguments) &&
             call_static(env, cls, argv[4], "()V", NULL);
    }
    (*vm)->DestroyJavaVM(vm);
    return ok ? 0 : 1;
}
