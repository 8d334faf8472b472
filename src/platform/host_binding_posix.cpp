#include <dlfcn.h>

#include <cstring>
#include <string>

#include "platform/host_binding.h"

namespace host {
namespace {

using LogFn = int (*)(const char*);
using YieldFn = int (*)(int);
using SyncLogFn = int (*)(const char*, int, int);
using LoadLangFn = void* (*)(const char*, void*, void**);
using ReleaseLangFn = int (*)(void*, void*);

struct Binding {
    bool resolved = false;
    LogFn log = nullptr;
    YieldFn yield = nullptr;
    SyncLogFn syncLog = nullptr;
    LoadLangFn loadLang = nullptr;
    ReleaseLangFn releaseLang = nullptr;
};

Binding g_binding;

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

Binding& Resolve() {
    if (!g_binding.resolved) {
        g_binding.resolved = true;
        void* logLib = OpenHostLibrary("ZARAVEZUV.so");
        void* yieldLib = OpenHostLibrary("ZIDU20.so");
        void* syncLib = OpenHostLibrary("REVED20.so");
        void* commonLib = OpenHostLibrary("TavikCmn.so");
        g_binding.log = Symbol<LogFn>(logLib, "MLOGAdd");
        g_binding.yield = Symbol<YieldFn>(yieldLib, "SyncYieldCycles");
        g_binding.syncLog = Symbol<SyncLogFn>(syncLib, "Ordinal_52");
        g_binding.loadLang = Symbol<LoadLangFn>(commonLib, "Ordinal_2");
        g_binding.releaseLang = Symbol<ReleaseLangFn>(commonLib, "Ordinal_3");
    }
    return g_binding;
}

}  // namespace

void Log(const char* text) {
    if (LogFn fn = Resolve().log) fn(text ? text : "");
}

void YieldCycles(int cycles) {
    if (YieldFn fn = Resolve().yield) fn(cycles);
}

void SyncLog(const char* text, int category, int flags) {
    if (SyncLogFn fn = Resolve().syncLog) fn(text ? text : "", category, flags);
}

void* LoadLanguageLibrary(const char* fileName, void* instance, void** handleVariable) {
    if (LoadLangFn fn = Resolve().loadLang) return fn(fileName, instance, handleVariable);
    return nullptr;
}

void ReleaseLanguageLibrary(void* handle, void* instance) {
    if (ReleaseLangFn fn = Resolve().releaseLang) fn(handle, instance);
}

void ResetBinding() { g_binding = Binding{}; }

}  // namespace host
