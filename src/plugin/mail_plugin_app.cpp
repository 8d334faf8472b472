#include "plugin/mail_plugin_app.h"

#include "platform/host_binding.h"
#include "platform/message_box.h"
#include "records/cmsg.h"
#include "records/object.h"

namespace {
constexpr int32_t kNotLoggedOn = static_cast<int32_t>(HostStatus::NotLoggedOn);

int32_t Status(HostStatus status) { return static_cast<int32_t>(status); }
}  // namespace

MailPlugInApp::MailPlugInApp() { AfxClassInit(); }

// The one application object: built when the module is loaded, destroyed at unload.
MailPlugInApp g_theApp;

MailPlugInApp& TheApp() { return g_theApp; }

void MailPlugInApp::LogMessage(const char* what, const MailMsg* message) const {
    CString text;
    text.Format("%s\nF: %s S: %s", what, message && message->from ? message->from : "",
                message && message->subject ? message->subject : "");
    host::Log(text);
}

int32_t MailPlugInApp::Initialize() {
    loggedOn = 0;
    return 0;
}

int32_t MailPlugInApp::Uninitialize() {
    loggedOn = 0;
    session.Reset();
    return 0;
}

int32_t MailPlugInApp::Logon(const LogonParameters* parameters, uint32_t flags) {
    verbose = static_cast<int32_t>(flags & 2);
    syncLogOnFailure = static_cast<int32_t>(flags & 1);
    if (verbose && parameters && parameters->logonLogText && parameters->logonLogText[0] != '\0')
        host::Log("IMAP Login");
    if (session.Logon(parameters, flags) != 0) return Status(HostStatus::LogonFailed);
    loggedOn = 1;
    return 0;
}

int32_t MailPlugInApp::Logoff() {
    session.Logoff();
    return 0;
}

int32_t MailPlugInApp::GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count) {
    if (!loggedOn) return kNotLoggedOn;
    return session.GetMsgIds(folder, records, count) ? Status(HostStatus::ListingFailed) : 0;
}

int32_t MailPlugInApp::GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count,
                                     const MessageIdRef* const* ids, const int32_t* idCount) {
    if (!loggedOn) return kNotLoggedOn;
    return session.GetMsgHeaders(folder, records, count, ids, idCount) ? Status(HostStatus::ListingFailed) : 0;
}

int32_t MailPlugInApp::GetAllMsgs(MailMsg*** records, uint32_t* count, int32_t headersOnly) {
    if (!loggedOn) return kNotLoggedOn;
    if (verbose) host::Log("IMAP: Beginning to get all messages");
    const int32_t status = session.GetAllMsgs(records, count, headersOnly) ? Status(HostStatus::ListingFailed) : 0;
    if (verbose) host::Log("IMAP: Finished getting all messages");
    return status;
}

int32_t MailPlugInApp::GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record) {
    return session.GetMsg(folder, id, record);
}

int32_t MailPlugInApp::SetMsg() {
    ShowMessageBox("Undefined functionality for IMAPPlugIn SetMsg (Save) Call", kMessageBoxIconInformation, 0);
    return 0;
}

int32_t MailPlugInApp::SendMsg(const MailMsg* message) {
    if (!loggedOn) return kNotLoggedOn;
    if (verbose) LogMessage("IMAP: Beginning to send message.", message);
    // The session works on a copy of its own, never on the host's block.
    MailMsg* copy = nullptr;
    if (message) CMsg(message).ToMailMsg(&copy);
    const int32_t result = session.SendMessage(copy);
    FreeMailMsgRecord(copy);
    if (verbose) host::Log("IMAP: Finished send message.");
    return result ? Status(HostStatus::SendFailed) : 0;
}

int32_t MailPlugInApp::DeleteMsg(FolderRef folder, const MailMsg* message) {
    if (!loggedOn) return kNotLoggedOn;
    if (verbose) LogMessage("IMAP: Beginning to delete message.", message);
    const int32_t result = session.DeleteMessage(folder, message);
    if (verbose) LogMessage("IMAP: Finished delete message.", message);
    return result ? Status(HostStatus::NotDone) : 0;
}

int32_t MailPlugInApp::SetMsgReadStatus(FolderRef folder, const MailMsg* message, int32_t seen) {
    if (!loggedOn) return kNotLoggedOn;
    return session.SetReadStatus(folder, message, seen);
}

int32_t MailPlugInApp::SetMsgPriority() {
    ShowMessageBox("Undefined functionality for IMAPPlugIn SetMsgPriority Call", kMessageBoxIconInformation, 0);
    return 0;
}

int32_t MailPlugInApp::GetMessageAttachment(FolderRef folder, uint32_t idLength, const uint8_t* idData,
                                            AttachmentList** list) {
    if (!loggedOn) return kNotLoggedOn;
    if (verbose) host::Log("IMAP: Finishing getting attachments for message.");
    // The list lines follow this layer's flag, not the session's: a refused Logon changes only ours.
    const int32_t result = session.GetAttachments(folder, idLength, idData, list, verbose != 0);
    if (result == static_cast<int32_t>(SessionResult::NotCached)) return result;  // nothing more is logged
    if (verbose) host::Log("IMAP: Finishing getting attachments for message.");
    return result;
}

int32_t MailPlugInApp::GetFolderList(FolderEntry*** folders, uint32_t* count) {
    return session.GetFolderList(folders, count);
}

int32_t MailPlugInApp::AddFolder(const char* name) {
    return loggedOn ? session.AddFolder(name) : kNotLoggedOn;
}

int32_t MailPlugInApp::Append(const char* folder, const char* text) {
    return loggedOn ? session.Append(folder, text) : kNotLoggedOn;
}

int32_t MailPlugInApp::Commit() { return loggedOn ? session.Commit() : kNotLoggedOn; }

int32_t MailPlugInApp::CopyMessage(uint32_t uid, const char* source, const char* target) {
    return loggedOn ? session.CopyMessage(uid, source, target) : kNotLoggedOn;
}

int32_t MailPlugInApp::DeleteFolder(const char* name) {
    return loggedOn ? session.DeleteFolder(name) : kNotLoggedOn;
}

int32_t MailPlugInApp::RenameFolder(const char* oldName, const char* newName) {
    return loggedOn ? session.RenameFolder(oldName, newName) : kNotLoggedOn;
}

int32_t MailPlugInApp::SelectFolder(const char* name) {
    return loggedOn ? session.SelectFolder(name) : kNotLoggedOn;
}

int32_t MailPlugInApp::SetSeenFlag(const char* folder, uint32_t uid, int32_t seen) {
    return loggedOn ? session.SetSeenFlag(folder, uid, seen) : kNotLoggedOn;
}
