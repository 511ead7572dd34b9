// orvo.Service, the class through which the Java program talks to its host
// (javahost/java/orvo/Service.java, shipped as orvo-api.jar).
//
// create_java_vm defines the class in the Java VM's boot class loader, from the bytes built
// into orvo, before any code of the program runs: every class loader that asks its parents
// first then finds orvo's copy, whether or not the program carries the jar. Its native
// methods are registered only once the host has said what to do with the program's
// requests (set_service_requests); without them each method of the class returns false, as
// it does outside orvo.
#pragma once

#include <jni.h>

#include <cstdint>
#include <string>

// What the host does with each request; each returns whether it took it. They run on the
// program's own threads, inside a native method, at any moment: they must return soon and
// must not call into the Java VM.
struct service_requests {
    bool (*starting)(std::int64_t millis) = nullptr;
    bool (*stopping)(std::int64_t millis) = nullptr;
    bool (*status)(const std::string& text) = nullptr; // UTF-8, at most max_status_units long
    bool (*request_stop)(std::int32_t exit_code) = nullptr;
};

// A status text is read up to this many UTF-16 units: it is for one line, and the service
// manager drops a report that grows too long.
constexpr std::size_t max_status_units = 256;

// Hands the host's handlers over; before create_java_vm, once.
void set_service_requests(const service_requests& requests);

// With the Java VM just created, on the thread that created it (`env` is its JNIEnv):
// defines orvo.Service and registers its native methods when handlers were given. A
// failure is said in one line and leaves the program without the class's services: its
// methods then return false.
void define_service_class(JNIEnv* env);
