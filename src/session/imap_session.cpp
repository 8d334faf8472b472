#include "session/imap_session.h"

#include "platform/host_binding.h"
#include "platform/resources.h"

ImapSession::~ImapSession() { Reset(); }

int32_t ImapSession::Logon(const LogonParameters* parameters, uint32_t flags) {
    if (!parameters) return 1;
    logon = LogonSettings::FromHost(*parameters);
    verbose = static_cast<int32_t>(flags & 2);
    syncLogOnFailure = static_cast<int32_t>(flags & 1);
    smtpEnabled = logon.useSmtp;
    // The IMAP client is not part of the module yet: IMAP is never usable, so a logon
    // succeeds only as send-only.
    imapConnected = 0;
    ReportLogon();
    return (smtpEnabled == 0 && imapConnected == 0) ? 1 : 0;
}

void ImapSession::ReportLogon() {
    if (verbose) {
        if (imapConnected == 0) host::Log("IMAP: Invalid connection. Cannot continue");
        if (smtpEnabled == 0) host::Log("IMAP: Invalid connection. Cannot continue");
    } else if (syncLogOnFailure && imapConnected == 0) {
        CString failed;
        failed.Format(resources::LoadString(resources::kLogonFailedFormat), logon.userName.c_str());
        CString entry;
        entry.Format(resources::LoadString(resources::kInfoFormat), failed.c_str());
        host::SyncLog(entry, 22, 0);
    }
}

int32_t ImapSession::Logoff() { return 1; }

int32_t ImapSession::Reset() {
    smtpConnected = smtpEnabled = syncLogOnFailure = verbose = imapConnected = 0;
    folderNames.RemoveAll();
    folders.clear();
    return 1;
}

FolderCache* ImapSession::FindFolder(const char* name) {
    if (!name) return nullptr;
    for (const auto& folder : folders)
        if (folder->name.CompareNoCase(name) == 0) return folder.get();
    return nullptr;
}

int32_t ImapSession::GetMsgIds(FolderRef, MailMsg***, uint32_t*) { return imapConnected ? 1 : 8; }

int32_t ImapSession::GetMsgHeaders(FolderRef, MailMsg***, uint32_t*, const MessageIdRef* const*, const int32_t*) {
    return imapConnected ? 1 : 8;
}

int32_t ImapSession::GetAllMsgs(MailMsg***, uint32_t*, int32_t) { return imapConnected ? 1 : 8; }

int32_t ImapSession::GetMsg(FolderRef, const MessageIdRef*, MailMsg**) { return 8; }

int32_t ImapSession::GetAttachments(FolderRef, uint32_t, const uint8_t*, AttachmentList**) {
    return static_cast<int32_t>(SessionResult::NotCached);
}

int32_t ImapSession::SendMessage(const MailMsg*) { return 1; }

int32_t ImapSession::DeleteMessage(FolderRef, const MailMsg*) { return 8; }
int32_t ImapSession::SetReadStatus(FolderRef, const MailMsg*, int32_t) { return 8; }
int32_t ImapSession::SetSeenFlag(const char*, uint32_t, int32_t) { return 8; }
int32_t ImapSession::CopyMessage(uint32_t, const char*, const char*) { return 8; }
int32_t ImapSession::Commit() { return 8; }
int32_t ImapSession::AddFolder(const char*) { return 8; }
int32_t ImapSession::DeleteFolder(const char*) { return 8; }
int32_t ImapSession::RenameFolder(const char*, const char*) { return 8; }
int32_t ImapSession::Append(const char*, const char*) { return 8; }
int32_t ImapSession::SelectFolder(const char*) { return 8; }
