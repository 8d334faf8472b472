#include "platform/host_binding.h"

#include "platform/host_binding_table.h"

namespace host {
namespace {

bool g_resolved = false;
Binding g_binding;

// Looked up on the first call that needs a host function, so loading the module costs nothing.
const Binding& Resolve() {
    if (!g_resolved) {
        g_resolved = true;
        g_binding = LoadBinding();
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
void ResetBinding() {
    g_resolved = false;
    g_binding = Binding{};
}

}  // namespace host
