// Run-time loading on POSIX systems: dlopen, dlsym, dlclose.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include "platform/last_error.h"

namespace platform {

namespace {

// dlerror() forgets its message once read; keep it for library_error().
thread_local std::string last_message;

// dlopen and dlsym give words but no error code: the last-error code says so with 0.
void note_error() {
    const char* message = dlerror();
    last_message = message != nullptr ? message : "unknown error";
    set_last_error(0);
}

} // namespace

library_handle load_library(const std::string& name) {
    // dlopen("") would hand back the program itself, where Windows loads nothing.
    if (name.empty()) {
        last_message = "empty library name";
        return nullptr;
    }
    // Resolved at once, so that a library with a missing dependency fails here and not
    // later inside a call. Global, as Java's own launcher loads the VM.
    library_handle library = dlopen(name.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        note_error();
    }
    return library;
}

library_function find_function(library_handle library, const char* name) {
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr) {
        note_error();
        return nullptr;
    }
    return reinterpret_cast<library_function>(address);
}

void free_library(library_handle library) {
    if (library != nullptr) {
        dlclose(library);
    }
}

std::string library_error() {
    return last_message;
}

} // namespace platform
