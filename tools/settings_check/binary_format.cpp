#include "tools/settings_check/binary_format.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// Random access to a file's bytes.
class file_bytes {
  public:
    // The path is UTF-8: as a narrow name, Windows would read it in the ANSI code page. One
    // that is not UTF-8 (an import's name is the DLL's own bytes) names no file there.
    explicit file_bytes(const std::string& path) {
        try {
            in_.open(std::filesystem::u8path(path), std::ios::binary);
        } catch (const std::exception&) {
        }
    }
    bool is_open() const { return in_.is_open(); }
    // `count` bytes at `offset`; fewer at the end of the file, none past it.
    std::string at(std::uint64_t offset, std::size_t count) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        std::string bytes(count, '\0');
        in_.read(bytes.data(), static_cast<std::streamsize>(count));
        bytes.resize(in_ ? count : static_cast<std::size_t>(in_.gcount()));
        return bytes;
    }

  private:
    std::ifstream in_;
};

// A little-endian (or big-endian) number at `position`; 0 past the end.
std::uint32_t number(const std::string& bytes, std::size_t position, std::size_t size,
                     bool big_endian = false) {
    if (position + size > bytes.size()) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t index = big_endian ? position + i : position + size - 1 - i;
        value = (value << 8) | static_cast<unsigned char>(bytes[index]);
    }
    return value;
}

std::uint16_t u16(const std::string& bytes, std::size_t position, bool big_endian = false) {
    return static_cast<std::uint16_t>(number(bytes, position, 2, big_endian));
}

std::uint32_t u32(const std::string& bytes, std::size_t position) {
    return number(bytes, position, 4);
}

machine_kind pe_machine(std::uint16_t code) {
    switch (code) {
    case 0x8664:
        return machine_kind::x86_64;
    case 0x014c:
        return machine_kind::x86;
    case 0xaa64:
        return machine_kind::arm64;
    case 0x01c0:
    case 0x01c4:
        return machine_kind::arm32;
    default:
        return machine_kind::other;
    }
}

machine_kind elf_machine(std::uint16_t code) {
    switch (code) {
    case 62:
        return machine_kind::x86_64;
    case 3:
        return machine_kind::x86;
    case 183:
        return machine_kind::arm64;
    case 40:
        return machine_kind::arm32;
    default:
        return machine_kind::other;
    }
}

// Where a PE image's headers are: its file header, after the "PE\0\0" signature, and the
// optional header after that.
struct pe_headers {
    std::uint64_t file_header = 0;
    std::string header; // the file header and the start of the optional header
};

bool find_pe_headers(file_bytes& file, pe_headers& found) {
    const std::string dos = file.at(0, 64);
    if (dos.size() < 64 || dos.compare(0, 2, "MZ") != 0) {
        return false;
    }
    const std::uint32_t signature = u32(dos, 0x3c);
    if (file.at(signature, 4) != std::string("PE\0\0", 4)) {
        return false;
    }
    found.file_header = signature + 4;
    found.header = file.at(found.file_header, 20 + 2);
    return found.header.size() == 22;
}

void read_pe(file_bytes& file, binary_format& format) {
    pe_headers headers;
    if (!find_pe_headers(file, headers)) {
        return;
    }
    format.family = binary_family::pe;
    format.machine_code = u16(headers.header, 0);
    format.machine = pe_machine(format.machine_code);
    format.library = (u16(headers.header, 18) & 0x2000) != 0; // IMAGE_FILE_DLL
    const std::uint16_t magic = u16(headers.header, 20);
    format.bits = magic == 0x20b ? 64 : magic == 0x10b ? 32 : 0;
}

void read_elf(const std::string& ident, binary_format& format) {
    if (ident.size() < 20 || ident.compare(0, 4,
                                           "\x7f"
                                           "ELF") != 0) {
        return;
    }
    const bool big_endian = ident[5] == 2;
    format.family = binary_family::elf;
    format.bits = ident[4] == 1 ? 32 : ident[4] == 2 ? 64 : 0;
    format.library = u16(ident, 16, big_endian) == 3; // ET_DYN
    format.machine_code = u16(ident, 18, big_endian);
    format.machine = elf_machine(format.machine_code);
}

// The file offset of a relative virtual address, through the section that holds it.
bool file_offset(const std::string& sections, std::uint32_t rva, std::uint64_t& offset) {
    for (std::size_t at = 0; at + 40 <= sections.size(); at += 40) {
        const std::uint32_t virtual_size = u32(sections, at + 8);
        const std::uint32_t address = u32(sections, at + 12);
        const std::uint32_t raw_size = u32(sections, at + 16);
        const std::uint32_t raw_start = u32(sections, at + 20);
        if (rva >= address && rva - address < std::max(virtual_size, raw_size)) {
            if (rva - address >= raw_size) {
                return false; // in memory only: nothing in the file
            }
            offset = std::uint64_t{raw_start} + (rva - address);
            return true;
        }
    }
    return false;
}

std::string text_at(file_bytes& file, const std::string& sections, std::uint32_t rva) {
    std::uint64_t offset = 0;
    if (!file_offset(sections, rva, offset)) {
        return std::string();
    }
    std::string text = file.at(offset, 256);
    return text.substr(0, text.find('\0'));
}

// "a 32-bit x86", "an ARM64", "a 64-bit machine 0x0123".
std::string an_architecture(const binary_format& format) {
    if (const char* name = architecture_name(format.machine)) {
        return (name[0] == 'A' ? "an " : "a ") + std::string(name);
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", format.machine_code);
    const std::string bits = format.bits != 0 ? std::to_string(format.bits) + "-bit " : "";
    return "a " + bits + "machine " + code;
}

} // namespace

const char* architecture_name(machine_kind machine) {
    switch (machine) {
    case machine_kind::x86_64:
        return "64-bit x86";
    case machine_kind::x86:
        return "32-bit x86";
    case machine_kind::arm64:
        return "ARM64";
    case machine_kind::arm32:
        return "32-bit ARM";
    default:
        return nullptr;
    }
}

bool read_binary_format(const std::string& path, binary_format& format) {
    format = binary_format();
    file_bytes file(path);
    if (!file.is_open()) {
        return false;
    }
    read_pe(file, format);
    if (format.family == binary_family::none) {
        read_elf(file.at(0, 20), format);
    }
    return true;
}

std::vector<std::string> imported_libraries(const std::string& path) {
    std::vector<std::string> names;
    file_bytes file(path);
    pe_headers headers;
    if (!file.is_open() || !find_pe_headers(file, headers)) {
        return names;
    }
    const std::uint16_t section_count = u16(headers.header, 2);
    const std::uint16_t optional_size = u16(headers.header, 16);
    const std::uint64_t optional = headers.file_header + 20;
    const std::string optional_header = file.at(optional, optional_size);
    // The import table is entry 1 of the data directories, which begin at 96 (PE32) or
    // 112 (PE32+) and hold NumberOfRvaAndSizes entries.
    const bool plus = u16(optional_header, 0) == 0x20b;
    const std::size_t directories = plus ? 112 : 96;
    if (u32(optional_header, directories - 4) < 2) {
        return names;
    }
    const std::uint32_t imports = u32(optional_header, directories + 8);
    const std::string sections = file.at(
        optional + optional_size, std::size_t{std::min<std::uint16_t>(section_count, 96)} * 40);
    std::uint64_t offset = 0;
    if (imports == 0 || !file_offset(sections, imports, offset)) {
        return names;
    }
    // Descriptors of 20 bytes, the last one all zero; the name's address is at 12.
    for (int index = 0; index < 1024; ++index, offset += 20) {
        const std::string descriptor = file.at(offset, 20);
        if (descriptor.size() < 20 || descriptor == std::string(20, '\0')) {
            break;
        }
        const std::string name = text_at(file, sections, u32(descriptor, 12));
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

std::string describe(const binary_format& format) {
    const std::string kind = an_architecture(format);
    switch (format.family) {
    case binary_family::pe:
        return kind + (format.library ? " DLL" : " Windows program, not a DLL");
    case binary_family::elf:
        return kind + (format.library ? " ELF shared library" : " ELF file, not a shared library");
    default:
        return "not a library at all: neither a Windows DLL nor an ELF shared library";
    }
}

binary_format loadable_format() {
    binary_format format;
#ifdef _WIN32
    format.family = binary_family::pe;
#else
    format.family = binary_family::elf;
#endif
    format.library = true;
#if defined(__x86_64__) || defined(_M_X64)
    format.machine = machine_kind::x86_64;
    format.bits = 64;
#elif defined(__aarch64__) || defined(_M_ARM64)
    format.machine = machine_kind::arm64;
    format.bits = 64;
#elif defined(__i386__) || defined(_M_IX86)
    format.machine = machine_kind::x86;
    format.bits = 32;
#endif
    return format;
}

bool is_loadable(const binary_format& format) {
    const binary_format wanted = loadable_format();
    return format.family == wanted.family && format.library && format.machine == wanted.machine &&
           format.machine != machine_kind::other;
}
