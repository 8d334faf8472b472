#include "platform/resources.h"

#include <dlfcn.h>

namespace resources {
namespace {

void* g_resourceHandle = nullptr;

const char* OwnString(unsigned id) {
    switch (id) {
        case kMsgPlugIns: return "MsgPlugIns";
        case kImapPlugin: return "ImapPlugin";
        case kVendor: return "Zoquerel";
        case kInfoFormat: return "OSTRAVO INFO -- %s";
        case kLogonFailedFormat: return "Server logon failed for user '%s'";
        default: return nullptr;
    }
}

}  // namespace

void* InstanceHandle() {
    static void* const instance = [] {
        Dl_info info{};
        return dladdr(reinterpret_cast<void*>(&OwnString), &info) ? info.dli_fbase : nullptr;
    }();
    return instance;
}

void* ResourceHandle() { return g_resourceHandle ? g_resourceHandle : InstanceHandle(); }

void SetResourceHandle(void* handle) { g_resourceHandle = handle; }

CString LoadString(unsigned id) {
    void* handle = ResourceHandle();
    if (handle && handle != InstanceHandle()) {
        using LoadFn = const char* (*)(unsigned);
        if (auto fn = reinterpret_cast<LoadFn>(dlsym(handle, kLanguageStringSymbol)))
            if (const char* text = fn(id)) return CString(text);
    }
    const char* own = OwnString(id);
    return CString(own ? own : "");
}

}  // namespace resources
