#include <windows.h>

#include "plugin_library.h"

std::string PluginLibrary::DefaultPath() {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir = ".";
    if (n > 0 && n < sizeof self) {
        dir.assign(self, n);
        dir = dir.substr(0, dir.find_last_of("\\/"));
    }
    return dir + "\\ZQ_VORUDozOzad.dll";
}

void PluginLibrary::FreeRecord(MailMsg* record) {
    if (record) ::GlobalFree(record);
}

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    m_handle = module;
    if (!module) {
        error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    bool ok = true;
    auto bind = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
            reinterpret_cast<void*>(::GetProcAddress(module, name)));
        if (!fn) {
            error += std::string(error.empty() ? "" : ", ") + "missing export " + name;
            ok = false;
        }
    };
    bind(Initialize, "Initialize");
    bind(Uninitialize, "Uninitialize");
    bind(Logon, "Logon");
    bind(Logoff, "Logoff");
    bind(GetFolderList, "GetFolderList");
    bind(FreeFolderList, "FreeFolderList");
    bind(GetMsgIds, "GetMsgIds");
    bind(GetMsg, "GetMsg");
    bind(FreeMailMsg, "FreeMailMsg");
    bind(GetMessageAttachment, "GetMessageAttachment");
    bind(FreeAttachment, "FreeAttachment");
    bind(SendMsg, "SendMsg");
    return ok;
}

PluginLibrary::~PluginLibrary() {
    if (m_handle) ::FreeLibrary(static_cast<HMODULE>(m_handle));
}
