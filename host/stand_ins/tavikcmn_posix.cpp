// Stand-in for the host's common library: loads and releases the language library.
// Ordinal 2 maps the Windows file name to a shared object ("ZQ_IMAPLANG.DLL" ->
// "ZQ_IMAPLANG.so", or the path in HOSTKIT_LANGUAGE_LIBRARY) and returns its handle; when
// there is none it returns the caller's instance handle, so the module's own strings serve.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "hostkit.h"

extern "C" HOSTKIT_API void* Ordinal_2(const char* fileName, void* instance, void** handleVariable) {
    HostKit_Record("TavikCmn", "Ordinal_2", fileName, 0, 0, instance, handleVariable);
    std::string name = fileName ? fileName : "";
    if (const char* over = std::getenv("HOSTKIT_LANGUAGE_LIBRARY")) {
        name = over;
    } else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".DLL") == 0) {
        name.replace(name.size() - 4, 4, ".so");
    }
    void* handle = name.empty() ? nullptr : dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) handle = instance;
    if (handleVariable) *handleVariable = handle;
    return handle;
}

extern "C" HOSTKIT_API int Ordinal_3(void* handle, void* instance) {
    HostKit_Record("TavikCmn", "Ordinal_3", "", 0, 0, handle, instance);
    if (handle && handle != instance) dlclose(handle);
    return 0;
}
