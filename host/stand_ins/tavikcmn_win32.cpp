// Stand-in for the host's common library: loads and releases the language library.
// Ordinal 2 loads the named file ("ZQ_IMAPLANG.DLL", or the path in HOSTKIT_LANGUAGE_LIBRARY)
// as a resource library and returns its handle; when there is none it returns the caller's
// instance handle, so the module's own strings serve.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "hostkit.h"

extern "C" HOSTKIT_API void* Ordinal_2(const char* fileName, void* instance, void** handleVariable) {
    HostKit_Record("TavikCmn", "Ordinal_2", fileName, 0, 0, instance, handleVariable);
    std::string name = fileName ? fileName : "";
    if (const char* over = std::getenv("HOSTKIT_LANGUAGE_LIBRARY")) name = over;
    // Resources only: no code of the language library runs.
    void* handle = name.empty() ? nullptr : ::LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!handle) handle = instance;
    if (handleVariable) *handleVariable = handle;
    return handle;
}

extern "C" HOSTKIT_API int Ordinal_3(void* handle, void* instance) {
    HostKit_Record("TavikCmn", "Ordinal_3", "", 0, 0, handle, instance);
    if (handle && handle != instance) ::FreeLibrary(static_cast<HMODULE>(handle));
    return 0;
}
