/* Preloaded into orvo by a test: lets the first ORVO_TEST_THREADS threads be created and
 * fails every later pthread_create with EAGAIN, as a user's process limit would. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdlib.h>

typedef int (*create_function)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

static atomic_int created;

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*),
                   void* argument) {
    static create_function next;
    if (next == NULL) {
        next = (create_function)dlsym(RTLD_NEXT, "pthread_create");
    }
    const char* allowed = getenv("ORVO_TEST_THREADS");
    if (allowed != NULL && atomic_fetch_add(&created, 1) >= atoi(allowed)) {
        return EAGAIN;
    }
    return next(thread, attributes, run, argument);
}
