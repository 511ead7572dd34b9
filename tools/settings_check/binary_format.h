// What a file is, read from its header: a Windows PE image or an ELF file, for which
// machine, and whether it is a library; and which DLLs a PE image imports. Only bytes are
// read: nothing is loaded, so any file can be looked at safely.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class binary_family { none, pe, elf };
enum class machine_kind { x86_64, x86, arm64, arm32, other };

struct binary_format {
    binary_family family = binary_family::none;
    bool library = false; // a DLL (PE) or a shared object (ELF)
    machine_kind machine = machine_kind::other;
    std::uint16_t machine_code = 0; // as the header gives it, in its format's numbering
    int bits = 0;                   // 32 or 64, as the header says; 0 when it does not
};

// False when the file cannot be opened for reading. A file too short or of another kind
// is read as family none.
bool read_binary_format(const std::string& path, binary_format& format);

// The names of the DLLs that the PE image at `path` imports, in the order of its import
// table. Empty for a file that is not a PE image or whose import table cannot be read.
std::vector<std::string> imported_libraries(const std::string& path);

// "64-bit x86", "32-bit x86", "ARM64", "32-bit ARM"; null for another machine.
const char* architecture_name(machine_kind machine);

// "a 32-bit x86 DLL", "an ARM64 ELF shared library", "not a library at all: ...".
std::string describe(const binary_format& format);

// The kind of library this program itself can load: the system's own format, for the
// machine the program was built for.
binary_format loadable_format();

bool is_loadable(const binary_format& format);
