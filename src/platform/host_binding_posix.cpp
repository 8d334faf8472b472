#include <dlfcn.h>

#include <string>

#include "platform/host_binding_table.h"

namespace host {
namespace {

// The module's own directory first (the host installs its libraries beside it), then the
// loader's search path (LD_LIBRARY_PATH, the cache, the system directories).
void* OpenHostLibrary(const char* fileName) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OpenHostLibrary), &info) && info.dli_fname) {
        std::string dir(info.dli_fname);
        const size_t slash = dir.rfind('/');
        if (slash != std::string::npos) {
            const std::string path = dir.substr(0, slash + 1) + fileName;
            if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        }
    }
    return dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

template <typename Fn>
Fn Symbol(void* library, const char* name) {
    return library ? reinterpret_cast<Fn>(dlsym(library, name)) : nullptr;
}

}  // namespace

Binding LoadBinding() {
    Binding binding;
    void* logLib = OpenHostLibrary("ZARAVEZUV.so");
    void* yieldLib = OpenHostLibrary("ZIDU20.so");
    void* syncLib = OpenHostLibrary("REVED20.so");
    void* commonLib = OpenHostLibrary("TavikCmn.so");
    binding.log = Symbol<LogFn>(logLib, "MLOGAdd");
    binding.yield = Symbol<YieldFn>(yieldLib, "SyncYieldCycles");
    binding.syncLog = Symbol<SyncLogFn>(syncLib, "Ordinal_52");
    binding.loadLang = Symbol<LoadLangFn>(commonLib, "Ordinal_2");
    binding.releaseLang = Symbol<ReleaseLangFn>(commonLib, "Ordinal_3");
    return binding;
}

}  // namespace host
