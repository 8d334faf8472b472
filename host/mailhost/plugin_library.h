// The plug-in loaded with dlopen, its exports resolved by name as a message host does.
#pragma once

#include <string>

#include "zq_mailplugin.h"

struct PluginLibrary {
    decltype(&::Initialize) Initialize = nullptr;
    decltype(&::Uninitialize) Uninitialize = nullptr;
    decltype(&::Logon) Logon = nullptr;
    decltype(&::Logoff) Logoff = nullptr;
    decltype(&::GetFolderList) GetFolderList = nullptr;
    decltype(&::FreeFolderList) FreeFolderList = nullptr;
    decltype(&::GetMsgIds) GetMsgIds = nullptr;
    decltype(&::GetMsg) GetMsg = nullptr;
    decltype(&::FreeMailMsg) FreeMailMsg = nullptr;
    decltype(&::GetMessageAttachment) GetMessageAttachment = nullptr;
    decltype(&::FreeAttachment) FreeAttachment = nullptr;
    decltype(&::SendMsg) SendMsg = nullptr;

    // Loads the plug-in and resolves the exports; false with a reason when it cannot.
    bool Load(const std::string& path, std::string& error);
    ~PluginLibrary();

private:
    void* m_handle = nullptr;
};
