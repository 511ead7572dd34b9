// Small synthetic executable headers for the tests that tell one kind of library from
// another: just enough of a PE image or an ELF file for its header to say what it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvo_test {

inline void put(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
    if (bytes.size() < at + static_cast<std::size_t>(size)) {
        bytes.resize(at + static_cast<std::size_t>(size), '\0');
    }
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

// A PE image for `machine` (0x8664 x86-64, 0x14c x86, 0xaa64 ARM64), a DLL or a program,
// PE32+ or PE32, whose import table (one section at RVA 0x1000, file offset 0x200) names
// `imports`.
inline std::string pe_image(std::uint16_t machine, bool dll, bool plus,
                            const std::vector<std::string>& imports = {}) {
    std::string bytes = "MZ";
    put(bytes, 0x3c, 0x40, 4);
    bytes.resize(0x40);
    bytes += std::string("PE\0\0", 4);
    const std::size_t file_header = 0x44;
    const std::size_t optional_size = plus ? 240 : 224;
    put(bytes, file_header, machine, 2);
    put(bytes, file_header + 2, 1, 2); // one section
    put(bytes, file_header + 16, optional_size, 2);
    put(bytes, file_header + 18, dll ? 0x2002 : 0x0002, 2);
    const std::size_t optional = file_header + 20;
    const std::size_t directories = optional + (plus ? 112 : 96);
    put(bytes, optional, plus ? 0x20b : 0x10b, 2);
    put(bytes, directories - 4, 16, 4);
    // The section: the import descriptors, then the names.
    std::string section((imports.size() + 1) * 20, '\0');
    for (std::size_t i = 0; i < imports.size(); ++i) {
        put(section, i * 20 + 12, 0x1000 + section.size(), 4);
        section += imports[i] + '\0';
    }
    put(bytes, directories + 8, imports.empty() ? 0 : 0x1000, 4);
    put(bytes, directories + 12, section.size(), 4);
    const std::size_t header = optional + optional_size;
    bytes.resize(header + 40, '\0');
    bytes.replace(header, 6, ".idata");
    put(bytes, header + 8, section.size(), 4);
    put(bytes, header + 12, 0x1000, 4);
    put(bytes, header + 16, section.size(), 4);
    put(bytes, header + 20, 0x200, 4);
    bytes.resize(0x200, '\0');
    return bytes + section;
}

// An ELF header: `bits` 32 or 64, `type` 2 (a program) or 3 (a shared object), `machine`
// 3 (x86), 62 (x86-64), 183 (ARM64); little-endian.
inline std::string elf_header(int bits, std::uint16_t type, std::uint16_t machine) {
    std::string bytes = "\x7f"
                        "ELF";
    bytes += static_cast<char>(bits == 64 ? 2 : 1);
    bytes += "\x01\x01";
    bytes.resize(16, '\0');
    put(bytes, 16, type, 2);
    put(bytes, 18, machine, 2);
    put(bytes, 20, 1, 4);
    bytes.resize(bits == 64 ? 64 : 52, '\0');
    return bytes;
}

} // namespace orvo_test
