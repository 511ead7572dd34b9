// A stand-in for one of the Java runtime's own native libraries in its bin folder, which
// the VM loads after its creation by full path with a plain LoadLibrary; it imports a
// stand-in C runtime DLL that nothing has loaded before it.
extern "C" const char* standin_runtime_line();

extern "C" __declspec(dllexport) const char* standin_native_line() {
    return standin_runtime_line();
}
