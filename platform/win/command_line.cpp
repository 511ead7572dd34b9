// The command line on Windows: the wide one, split as the system splits it.
#include "platform/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

UINT initial_output_code_page = 0;

void restore_output_code_page() {
    SetConsoleOutputCP(initial_output_code_page);
}

bool is_console(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != FALSE;
}

} // namespace

char** utf8_arguments(int& argc, char** argv) {
    static std::vector<std::string> texts;
    static std::vector<char*> arguments;
    if (!arguments.empty()) {
        argc = static_cast<int>(texts.size());
        return arguments.data();
    }
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return argv; // out of memory: the narrow ones are all there is
    }
    for (int i = 0; i < count; ++i) {
        texts.push_back(utf8_text(wide[i]));
    }
    LocalFree(wide);
    for (std::string& text : texts) {
        arguments.push_back(text.data());
    }
    arguments.push_back(nullptr);
    argc = count;
    return arguments.data();
}

void show_utf8_on_console() {
    if (!is_console(STD_OUTPUT_HANDLE) && !is_console(STD_ERROR_HANDLE)) {
        return;
    }
    initial_output_code_page = GetConsoleOutputCP();
    if (initial_output_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit(restore_output_code_page);
    }
}

} // namespace platform
