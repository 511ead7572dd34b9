// A library that loads but has no JNI_CreateJavaVM: what a wrong dll_path can point at.
#ifdef _WIN32
#define NO_ENTRY_EXPORT extern "C" __declspec(dllexport)
#else
#define NO_ENTRY_EXPORT extern "C" __attribute__((visibility("default")))
#endif

NO_ENTRY_EXPORT int no_entry_marker() {
    return 1;
}
