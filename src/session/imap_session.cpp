#include "session/imap_session.h"

#include <cstdint>

#include "platform/ctime.h"
#include "platform/host_binding.h"
#include "platform/resources.h"

namespace {
constexpr int32_t kImapTimeoutMs = 1500;
constexpr const char* kInvalidConnection = "IMAP: Invalid connection. Cannot continue";
}  // namespace

// Runs at unload too, where an exception would end the host: LOGOUT and quit are best effort.
ImapSession::~ImapSession() {
    try {
        Reset();
    } catch (...) {
    }
}

CString ImapSession::SinceDate(int32_t daysBack, int32_t now) {
    if (daysBack <= 0) return CString("01-Jan-1990");
    // Month names spelled out here: the host's locale must not change the protocol text.
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // A day limit reaching before the first 32-bit time stops there instead of wrapping around.
    const int64_t back = static_cast<int64_t>(now) - static_cast<int64_t>(daysBack) * 86400;
    const CTime since(static_cast<int32_t>(back < INT32_MIN ? INT32_MIN : back));
    CString text;
    text.Format("%02d-%s-%04d", since.GetDay(), kMonths[(since.GetMonth() + 11) % 12], since.GetYear());
    return text;
}

int32_t ImapSession::Logon(const LogonParameters* parameters, uint32_t flags) {
    if (!parameters) return 1;
    logon = LogonSettings::FromHost(*parameters);
    verbose = static_cast<int32_t>(flags & 2);
    syncLogOnFailure = static_cast<int32_t>(flags & 1);
    smtpEnabled = logon.useSmtp;
    imapConnected = logon.useImap;
    if (imapConnected) ConnectImap();
    if (smtpEnabled) FillSmtpSettings();
    ReportLogon();
    return (smtpEnabled == 0 && imapConnected == 0) ? 1 : 0;
}

void ImapSession::ConnectImap() {
    imapSettings.server = logon.imapServer;
    imapSettings.displayName = logon.displayName;
    imapSettings.userName = logon.userName;
    imapSettings.password = logon.password;
    imapSettings.sentFolder = logon.sentFolder;
    imapSettings.port = logon.imapPort;
    imapSettings.receiveTimeoutMs = kImapTimeoutMs;
    imapSettings.sendTimeoutMs = kImapTimeoutMs;
    imapSettings.unreadOnly = logon.unreadOnly;
    imapSettings.downloadAttachments = logon.attachments;
    imapSettings.maxMessageSize = logon.maxMessageSize;
    imapSettings.sinceDate = SinceDate(logon.daysBack, CTime::GetCurrentTime().GetTime());
    imapSettings.keptNumber12 = logon.extraNumber1;
    imapSettings.keptText13 = logon.extraText1;
    imapSettings.keptNumber14 = logon.extraNumber2;
    imapSettings.keptText15 = logon.extraText2;
    imapSettings.keptFlag16 = syncLogOnFailure;
    imapSettings.logging = verbose;

    CString text;
    if (imap.Connect(&imapSettings) != ImapResult::Ok) {
        if (verbose) {
            text.Format("IMAP: Socket for server '%s' on port %d failed to connect. ", logon.imapServer.c_str(),
                        logon.imapPort);
            host::Log(text);
        }
        imapConnected = 0;
        return;
    }
    if (imap.Login() != ImapResult::Ok) {
        if (verbose) {
            text.Format("IMAP: IMAP logon failed for user '%s'", logon.userName.c_str());
            host::Log(text);
        }
        imap.Disconnect();
        imapConnected = 0;
        return;
    }
    imap.GetFolderList(folderNames);
    // A second logon without a reset appends a second set; lookups find the first.
    for (const CString& name : folderNames) folders.push_back(std::make_unique<FolderCache>(name));
}

void ImapSession::ReportLogon() {
    if (verbose) {
        if (imapConnected == 0) host::Log(kInvalidConnection);
        if (smtpEnabled == 0) host::Log(kInvalidConnection);
    } else if (syncLogOnFailure && imapConnected == 0) {
        CString failed;
        failed.Format(resources::LoadString(resources::kLogonFailedFormat), imapSettings.userName.c_str());
        CString entry;
        entry.Format(resources::LoadString(resources::kInfoFormat), failed.c_str());
        host::SyncLog(entry, 22, 0);
    }
}

int32_t ImapSession::Logoff() {
    imap.Logout();
    return 1;
}

int32_t ImapSession::Reset() {
    if (imapConnected) imap.Disconnect();
    CloseSmtp();
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
