#include <windows.h>
#undef LoadString  // the module's own function below, not the system's macro

#include "platform/resources.h"

namespace resources {
namespace {

HINSTANCE g_instance = nullptr;
HINSTANCE g_resourceHandle = nullptr;

// A buffer of this size holds every text of the table; a longer text is cut, as the system
// loader does.
constexpr int kTextCapacity = 1024;

CString Load(HINSTANCE module, unsigned id, bool& found) {
    char text[kTextCapacity];
    const int length = module ? ::LoadStringA(module, id, text, kTextCapacity) : 0;
    found = length > 0;
    return found ? CString(text) : CString();
}

}  // namespace

void* InstanceHandle() {
    if (!g_instance) {
        // Not started through the entry point (linked into a program): the module holding this code.
        HMODULE self = nullptr;
        if (::GetModuleHandleExA(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                reinterpret_cast<LPCSTR>(&InstanceHandle), &self))
            g_instance = self;
    }
    return g_instance;
}

void SetInstanceHandle(void* instance) { g_instance = static_cast<HINSTANCE>(instance); }

void* ResourceHandle() { return g_resourceHandle ? g_resourceHandle : InstanceHandle(); }

void SetResourceHandle(void* handle) { g_resourceHandle = static_cast<HINSTANCE>(handle); }

CString LoadString(unsigned id) {
    bool found = false;
    HINSTANCE current = static_cast<HINSTANCE>(ResourceHandle());
    CString text = Load(current, id, found);
    // A language library without the id (or none at all): the module's own table.
    if (!found && current != InstanceHandle())
        text = Load(static_cast<HINSTANCE>(InstanceHandle()), id, found);
    return text;
}

}  // namespace resources
