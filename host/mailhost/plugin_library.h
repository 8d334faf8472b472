// The plug-in loaded as a message host loads it: by file name, every export resolved by name.
#pragma once

#include <string>

#include "zq_mailplugin.h"

#define MAILHOST_EXPORTS(X)                                                                              \
    X(Initialize)                                                                                        \
    X(Uninitialize)                                                                                      \
    X(Logon) X(Logoff) X(GetMsgIds) X(GetMsgHeaders) X(GetAllMsgs) X(GetMsg) X(SetMsg) X(SendMsg)        \
        X(DeleteMsg) X(SetMsgReadStatus) X(SetMsgPriority) X(FreeMailMsg) X(GetMessageAttachment)        \
            X(FreeAttachment) X(GetFolderList) X(FreeFolderList) X(HostSupportsPartialMessages)          \
                X(IMAP4AddFolder) X(IMAP4Append) X(IMAP4Commit) X(IMAP4CopyMessage) X(IMAP4DeleteFolder) \
                    X(IMAP4RenameFolder) X(IMAP4SelectFolder) X(IMAP4SetSeenFlag)

class PluginLibrary {
public:
#define MAILHOST_POINTER(name) decltype(&::name) name = nullptr;
    MAILHOST_EXPORTS(MAILHOST_POINTER)
#undef MAILHOST_POINTER

    PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    // Loads the plug-in and resolves all 27 exports; false with a reason when it cannot.
    bool Load(const std::string& path, std::string& error);
    static int ExportCount();

private:
    void* m_handle = nullptr;
};
