// Where Java runtimes are usually installed, for pointing an operator at a Java VM library
// when the configured one cannot be loaded.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Where a runtime keeps its JVM library, relative to the runtime's own folder.
#ifdef _WIN32
constexpr const char* jvm_library_in_runtime = "bin\\server\\jvm.dll";
#else
constexpr const char* jvm_library_in_runtime = "lib/server/libjvm.so";
#endif

struct jvm_location {
    std::string path;   // where the JVM library would be
    std::string source; // what named the runtime: "JAVA_HOME", a registry key, a folder
};

// The JVM library paths of the runtimes that the system's usual places name, whether or
// not a file is there, in this order: the runtime that JAVA_HOME names; on Windows those
// registered under HKLM\SOFTWARE\JavaSoft (keys JDK, JRE, "Java Development Kit" and
// "Java Runtime Environment", one subkey per version, with a JavaHome value); on Linux the
// runtimes installed under /usr/lib/jvm, each named once by its real path. For each
// runtime both the layout of current runtimes and that of a JDK 8 (with its jre folder).
std::vector<jvm_location> usual_jvm_locations();

} // namespace platform
