// A stand-in for the C runtime DLLs that a Java runtime ships in its bin folder. Built
// under names of its own (no system folder has a DLL of that name), it lets the tests put
// it only in bin and see whether what imports it is still found.
extern "C" __declspec(dllexport) const char* standin_runtime_line() {
    return "recording VM created\r\n";
}
