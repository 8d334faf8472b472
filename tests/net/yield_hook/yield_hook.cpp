#include "yield_hook.h"

#include "hostkit.h"

namespace {
void (*g_hook)(void*) = nullptr;
void* g_context = nullptr;
}  // namespace

extern "C" int SyncYieldCycles(int cycles) {
    HostKit_Record("ZIDU20", "SyncYieldCycles", "", cycles, 0, nullptr, nullptr);
    if (g_hook) g_hook(g_context);
    return 0;
}

extern "C" void YieldHook_Set(void (*hook)(void*), void* context) {
    g_hook = hook;
    g_context = context;
}
