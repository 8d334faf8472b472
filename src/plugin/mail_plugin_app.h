// The module's application object: the logged-on guard, the application-layer log lines and
// the mapping of session results to the status codes the host sees.
#pragma once

#include <cstdint>

#include "session/imap_session.h"
#include "zq_mailplugin.h"

// Status codes of the exports.
enum class HostStatus : int32_t {
    Ok = 0,
    NotLoggedOn = -1,
    UnknownId = 1,
    NotDone = 2,
    NoConnection = 8,
    OutOfMemory = 16,
    NullArray = 211,
    SendFailed = 212,
    ListingFailed = 213,
    LogonFailed = 16394,
};

class MailPlugInApp {
public:
    MailPlugInApp();

    int32_t Initialize();
    int32_t Uninitialize();
    int32_t Logon(const LogonParameters* parameters, uint32_t flags);
    int32_t Logoff();
    int32_t GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count);
    int32_t GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count, const MessageIdRef* const* ids,
                          const int32_t* idCount);
    int32_t GetAllMsgs(MailMsg*** records, uint32_t* count, int32_t headersOnly);
    int32_t GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record);
    int32_t SetMsg();
    int32_t SendMsg(const MailMsg* message);
    int32_t DeleteMsg(FolderRef folder, const MailMsg* message);
    int32_t SetMsgReadStatus(FolderRef folder, const MailMsg* message, int32_t seen);
    int32_t SetMsgPriority();
    int32_t GetMessageAttachment(FolderRef folder, uint32_t idLength, const uint8_t* idData, AttachmentList** list);
    int32_t GetFolderList(FolderEntry*** folders, uint32_t* count);
    int32_t AddFolder(const char* name);
    int32_t Append(const char* folder, const char* text);
    int32_t Commit();
    int32_t CopyMessage(uint32_t uid, const char* source, const char* target);
    int32_t DeleteFolder(const char* name);
    int32_t RenameFolder(const char* oldName, const char* newName);
    int32_t SelectFolder(const char* name);
    int32_t SetSeenFlag(const char* folder, uint32_t uid, int32_t seen);

    int32_t loggedOn = 0;
    int32_t verbose = 0;
    int32_t syncLogOnFailure = 0;
    ImapSession session;

private:
    void LogMessage(const char* what, const MailMsg* message) const;
};

// The one instance, constructed when the module is loaded.
MailPlugInApp& TheApp();
