#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "plugin_library.h"

std::string PluginLibrary::DefaultPath() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = ".";
    if (n > 0) {
        dir.assign(self, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/'));
    }
    return dir + "/ZQ_VORUDozOzad.so";
}

void PluginLibrary::FreeRecord(MailMsg* record) { std::free(record); }

bool PluginLibrary::Load(const std::string& path, std::string& error) {
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
        return false;
    }
    bool ok = true;
    auto bind = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(m_handle, name));
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
    if (m_handle) dlclose(m_handle);
}
