// The plug-in loaded as a message host loads it (LoadLibrary on Windows, dlopen elsewhere), its
// exports resolved by name.
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

    // The plug-in beside this program.
    static std::string DefaultPath();
    // Releases the single record GetMsg hands out: a global-memory block on Windows, a heap
    // block elsewhere.
    static void FreeRecord(MailMsg* record);

    // Loads the plug-in and resolves the exports; false with a reason when it cannot.
    bool Load(const std::string& path, std::string& error);
    ~PluginLibrary();

private:
    void* m_handle = nullptr;
};
