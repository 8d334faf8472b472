#include <windows.h>

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

// By name or, for the ordinal-only functions, by ordinal (a pointer value below 0x10000).
template <typename Fn>
Fn Procedure(HMODULE library, LPCSTR nameOrOrdinal) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, nameOrOrdinal)))
                   : nullptr;
}

// The libraries are found by the system's search order: the host program's directory first.
Binding& Resolve() {
    if (!g_binding.resolved) {
        g_binding.resolved = true;
        HMODULE logLib = ::LoadLibraryA("ZARAVEZUV.dll");
        HMODULE yieldLib = ::LoadLibraryA("ZIDU20.dll");
        HMODULE syncLib = ::LoadLibraryA("REVED20.dll");
        HMODULE commonLib = ::LoadLibraryA("TavikCmn.dll");
        g_binding.log = Procedure<LogFn>(logLib, "MLOGAdd");
        g_binding.yield = Procedure<YieldFn>(yieldLib, "SyncYieldCycles");
        g_binding.syncLog = Procedure<SyncLogFn>(syncLib, MAKEINTRESOURCEA(52));
        g_binding.loadLang = Procedure<LoadLangFn>(commonLib, MAKEINTRESOURCEA(2));
        g_binding.releaseLang = Procedure<ReleaseLangFn>(commonLib, MAKEINTRESOURCEA(3));
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

// The libraries stay loaded: a function pointer handed out earlier must stay callable.
void ResetBinding() { g_binding = Binding{}; }

}  // namespace host
