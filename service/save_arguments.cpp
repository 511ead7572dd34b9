#include "service/save_arguments.h"

#include <cstdlib>
#include <cstring>

#include "service/service_globals.h"

void save_arguments(int argc, char** argv) {
    if (argc <= 0) {
        return;
    }
    saved_argv = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<std::size_t>(argc)));
    if (saved_argv == nullptr) {
        saved_argc = 0;
        return;
    }
    for (int i = 0; i < argc; ++i) {
        const std::size_t length = std::strlen(argv[i]);
        auto* copy = static_cast<char*>(std::malloc(length + 1));
        if (copy != nullptr) {
            std::memcpy(copy, argv[i], length + 1);
        }
        saved_argv[i] = copy;
    }
}

void free_saved_arguments() {
    if (saved_argv != nullptr) {
        for (int i = 0; i < saved_argc; ++i) {
            std::free(saved_argv[i]);
        }
        std::free(saved_argv);
    }
    saved_argv = nullptr;
    saved_argc = 0;
}
