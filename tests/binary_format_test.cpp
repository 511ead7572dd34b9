// Telling libraries apart by their headers, on synthetic files: what each kind is called,
// which one this program can load, the DLLs a PE image imports, and files cut short or
// pointing outside themselves.
#include <gtest/gtest.h>

#include <sstream>

#include "binary_samples.h"
#include "test_support.h"
#include "tools/settings_check/binary_format.h"
#include "tools/settings_check/jvm_report.h"

namespace {

using orvo_test::elf_header;
using orvo_test::pe_image;
using orvo_test::temp_dir;
using orvo_test::write_file;

#ifdef _WIN32
constexpr bool on_windows = true;
#else
constexpr bool on_windows = false;
#endif

TEST(BinaryFormat, EachKindIsNamedAndOnlyTheSystemsOwn64BitX86LibraryIsLoadable) {
    struct sample {
        const char* name;
        std::string bytes;
        binary_family family;
        const char* description;
        bool loadable_on_windows;
        bool loadable_on_linux;
    };
    const sample samples[] = {
        {"x64.dll", pe_image(0x8664, true, true), binary_family::pe, "a 64-bit x86 DLL", true,
         false},
        {"x86.dll", pe_image(0x14c, true, false), binary_family::pe, "a 32-bit x86 DLL", false,
         false},
        {"arm64.dll", pe_image(0xaa64, true, true), binary_family::pe, "an ARM64 DLL", false,
         false},
        {"x64.exe", pe_image(0x8664, false, true), binary_family::pe,
         "a 64-bit x86 Windows program, not a DLL", false, false},
        {"odd.dll", pe_image(0x1234, true, true), binary_family::pe, "a 64-bit machine 0x1234 DLL",
         false, false},
        {"x64.so", elf_header(64, 3, 62), binary_family::elf, "a 64-bit x86 ELF shared library",
         false, true},
        {"x86.so", elf_header(32, 3, 3), binary_family::elf, "a 32-bit x86 ELF shared library",
         false, false},
        {"arm64", elf_header(64, 2, 183), binary_family::elf,
         "an ARM64 ELF file, not a shared library", false, false},
        // Neither kind, or cut short before the header says what the file is.
        {"text.txt", "hello\r\n", binary_family::none, nullptr, false, false},
        {"empty", "", binary_family::none, nullptr, false, false},
        {"dos.exe", "MZ" + std::string(100, '\0'), binary_family::none, nullptr, false, false},
        {"cut.dll", pe_image(0x8664, true, true).substr(0, 0x46), binary_family::none, nullptr,
         false, false},
        {"cut.so", elf_header(64, 3, 62).substr(0, 12), binary_family::none, nullptr, false, false},
    };
    const std::string not_a_library =
        "not a library at all: neither a Windows DLL nor an ELF shared library";
    temp_dir dir;
    for (const sample& s : samples) {
        write_file(dir / s.name, s.bytes);
        binary_format format;
        ASSERT_TRUE(read_binary_format(dir / s.name, format)) << s.name;
        EXPECT_EQ(format.family, s.family) << s.name;
        EXPECT_EQ(describe(format), s.description ? s.description : not_a_library) << s.name;
        EXPECT_EQ(is_loadable(format), on_windows ? s.loadable_on_windows : s.loadable_on_linux)
            << s.name;
    }
    binary_format format;
    EXPECT_FALSE(read_binary_format(dir / "missing.dll", format));
}

TEST(BinaryFormat, ImportedLibrariesComeFromTheImportTableInItsOrder) {
    const std::vector<std::string> imports{"KERNEL32.dll", "orvo_missing.dll", "b.dll"};
    temp_dir dir;
    for (const bool plus : {true, false}) {
        write_file(dir / "a.dll", pe_image(plus ? 0x8664 : 0x14c, true, plus, imports));
        EXPECT_EQ(imported_libraries(dir / "a.dll"), imports) << plus;
    }
    const std::string whole = pe_image(0x8664, true, true, imports);
    // Cut after the descriptors, the names are gone; pointing past every section, there is
    // no table to read; neither is read from elsewhere.
    write_file(dir / "cut.dll", whole.substr(0, 0x200 + 4 * 20));
    std::string outside = whole;
    orvo_test::put(outside, 0x44 + 20 + 112 + 8, 0x9000, 4);
    write_file(dir / "outside.dll", outside);
    write_file(dir / "none.dll", pe_image(0x8664, true, true));
    write_file(dir / "x64.so", elf_header(64, 3, 62));
    for (const char* name : {"cut.dll", "outside.dll", "none.dll", "x64.so", "missing.dll"}) {
        EXPECT_TRUE(imported_libraries(dir / name).empty()) << name;
    }
}

TEST(LoadDiagnosis, AMissingImportDeepDownIsShownAsTheChainLeadingToIt) {
    load_diagnosis diagnosis;
    diagnosis.path = "C:\\jdk\\bin\\server\\jvm.dll";
    diagnosis.system_message = "The specified module could not be found. (error 126)";
    diagnosis.names_folder = true;
    diagnosis.kind = platform::path_kind::file;
    diagnosis.readable = true;
    diagnosis.format = loadable_format();
    diagnosis.loadable = true;
    diagnosis.imports_walked = true;
    diagnosis.missing_import = {"vcruntime140.dll", "api-x.dll"};
    diagnosis.searched_folders = {"C:\\jdk\\bin\\server", "C:\\jdk\\bin"};
    diagnosis.hints = {{"C:\\other\\bin\\server\\jvm.dll", "JAVA_HOME"}};
    std::ostringstream out;
    print_load_diagnosis(out, diagnosis);
    const std::string note = diagnosis.path + ": note: ";
    const std::string text = out.str();
    EXPECT_EQ(text.find(note +
                        "the system says: The specified module could not be found. "
                        "(error 126)\n" +
                        note + "the file is " + describe(loadable_format()) +
                        ", the kind orvo loads\n" + note +
                        "it imports vcruntime140.dll, which imports api-x.dll, which is in "
                        "none of the folders searched:\n  C:\\jdk\\bin\\server\n  C:\\jdk\\bin\n" +
                        note + "copy api-x.dll into"),
              0u)
        << text;
    EXPECT_NE(text.find("\nnote: a Java VM library is at C:\\other\\bin\\server\\jvm.dll "
                        "(JAVA_HOME)\n"),
              std::string::npos)
        << text;

    const nlohmann::json object = load_diagnosis_json(diagnosis);
    EXPECT_EQ(object["missing_import"], nlohmann::json({"vcruntime140.dll", "api-x.dll"}));
    EXPECT_EQ(object["file"], "file");
    EXPECT_EQ(object["format"]["description"], describe(loadable_format()));
    EXPECT_EQ(object["hints"][0]["source"], "JAVA_HOME");
}

} // namespace
