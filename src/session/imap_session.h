// The state of one mail account between exported calls, and the operations behind them.
// The operations live in files by concern: logon and caches here, listing in
// message_enumeration.cpp, download in message_download.cpp, attachment lists in
// attachment_list.cpp, message and folder operations in folder_operations.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imap/imap_client.h"
#include "imap/imap_settings.h"
#include "imap/retrieved_message.h"
#include "platform/cstring.h"
#include "session/folder_cache.h"
#include "session/logon_settings.h"
#include "smtp/smtp_client.h"
#include "smtp/smtp_settings.h"
#include "zq_mailplugin.h"

// Codes the session adds to those of the clients.
enum class SessionResult : int32_t {
    Ok = 0,
    Failed = 1,
    NotCached = 2,
    NoConnection = 8,
    OutOfMemory = 16,
    ExpungeRefused = 16,
};

constexpr int kMaxFolderEntries = 50;
constexpr int kMaxFolderNameLength = 15;

class ImapSession {
public:
    ImapSession() = default;
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;
    virtual ~ImapSession();

    // 0 when IMAP is usable or SMTP is enabled, else 1 (also for null parameters).
    int32_t Logon(const LogonParameters* parameters, uint32_t flags);
    int32_t Logoff();
    int32_t Reset();
    FolderCache* FindFolder(const char* name);
    // The SINCE text of the search: "%d-%b-%Y" of now minus daysBack days, in local time.
    static CString SinceDate(int32_t daysBack, int32_t now);

    // Listing: 0 on success, non-zero on failure.
    int32_t GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count);
    int32_t GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count, const MessageIdRef* const* ids,
                          const int32_t* idCount);
    int32_t GetAllMsgs(MailMsg*** records, uint32_t* count, int32_t headersOnly);
    int32_t GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record);
    // The cached message's attachment list for the host: 0, 2 when not cached, 16 out of memory.
    // The "ATT: " lines and the too-many line are written when `logLines` (the caller's flag).
    int32_t GetAttachments(FolderRef folder, uint32_t idLength, const uint8_t* idData, AttachmentList** list,
                           bool logLines);
    int32_t SendMessage(const MailMsg* message);

    // New search of the folder into its cache's UIDs: 0, 8, or the search's code.
    int32_t RefreshFolder(const char* name);
    // Retrieves each UID into a host record (count: in, the UIDs; out, the records); full
    // downloads are cached. 0, or 8 without a connection.
    int32_t DownloadMessages(const char* folder, const uint32_t* uids, uint32_t& count, MailMsg*** out,
                             bool headersOnly);
    // The first cached message of the folder with that id, or null.
    CMsg* FindCachedMessage(const char* folder, uint32_t length, const uint8_t* bytes);
    // The seen state of the UID's first status record; false when the folder has none.
    bool LookupSeen(const char* folder, uint32_t uid, int32_t& seen);
    // The attachment paths of a cached message; false when the message is not cached.
    bool GetAttachmentNames(FolderRef folder, uint32_t length, const uint8_t* bytes, CStringArray& names);

    // Message and folder operations: 8 without a connection, else the client's code.
    int32_t DeleteMessage(FolderRef folder, const MailMsg* message);
    int32_t SetReadStatus(FolderRef folder, const MailMsg* message, int32_t seen);
    int32_t SetSeenFlag(const char* folder, uint32_t uid, int32_t seen);
    int32_t CopyMessage(uint32_t uid, const char* source, const char* target);
    int32_t Commit();
    int32_t AddFolder(const char* name);
    int32_t DeleteFolder(const char* name);
    int32_t RenameFolder(const char* oldName, const char* newName);
    int32_t Append(const char* folder, const char* text);
    int32_t SelectFolder(const char* name);
    int32_t GetFolderList(FolderEntry*** folders, uint32_t* count);

    int32_t imapConnected = 0;
    ImapClient imap;
    int32_t smtpEnabled = 0;
    int32_t smtpConnected = 0;
    SmtpClient smtp;
    int32_t verbose = 0;
    int32_t syncLogOnFailure = 0;
    LogonSettings logon;
    ImapSettings imapSettings;
    SmtpSettings smtpSettings;
    CStringArray folderNames;
    std::vector<std::unique_ptr<FolderCache>> folders;

private:
    void ConnectImap();
    void FillSmtpSettings();
    void CloseSmtp();
    void ReportLogon();
    // A CMsg of one retrieved message: texts, date, flags, read state, body, attachment files.
    std::unique_ptr<CMsg> BuildMessage(const char* folder, uint32_t uid, const RetrievedMessage& retrieved,
                                       bool headersOnly);
};
