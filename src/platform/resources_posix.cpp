#include <dlfcn.h>

#include "platform/resources.h"

namespace resources {
namespace {

void* g_resourceHandle = nullptr;

const char* OwnString(unsigned id) {
    switch (id) {
        case kMsgPlugIns:
            return ZQ_TEXT_MSGPLUGINS;
        case kImapPlugin:
            return ZQ_TEXT_IMAPPLUGIN;
        case kVendor:
            return ZQ_TEXT_VENDOR;
        case kInfoFormat:
            return ZQ_TEXT_INFO_FORMAT;
        case kLogonFailedFormat:
            return ZQ_TEXT_LOGON_FAILED_FORMAT;
        default:
            return nullptr;
    }
}

}  // namespace

static void* g_instance = nullptr;

void* InstanceHandle() {
    if (!g_instance) {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&OwnString), &info)) g_instance = info.dli_fbase;
    }
    return g_instance;
}

void SetInstanceHandle(void* instance) { g_instance = instance; }

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
