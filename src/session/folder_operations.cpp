// Message and folder operations: the session checks its connection (8) and hands the work to
// the IMAP client, whose result code reaches the host unchanged.
#include "session/imap_session.h"

namespace {

constexpr int32_t kNoConnection = static_cast<int32_t>(SessionResult::NoConnection);

// The UID is the first four id bytes; a missing or shorter id gives 0, which the client refuses.
uint32_t UidOf(const MailMsg* message) {
    if (!message || !message->id || message->idLength < 4) return 0;
    return static_cast<uint32_t>(message->id[0]) | static_cast<uint32_t>(message->id[1]) << 8 |
           static_cast<uint32_t>(message->id[2]) << 16 | static_cast<uint32_t>(message->id[3]) << 24;
}

}  // namespace

int32_t ImapSession::SetReadStatus(FolderRef folder, const MailMsg* message, int32_t seen) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.SetSeenFlag(folder ? *folder : nullptr, UidOf(message), seen != 0));
}

int32_t ImapSession::DeleteMessage(FolderRef folder, const MailMsg* message) {
    const uint32_t uid = UidOf(message);
    SetReadStatus(folder, message, 1);  // marked read first; its failure is not reported
    if (folder) return ToInt(imap.MarkDeleted(*folder, uid));
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.MarkDeleted("inbox", uid));
}

int32_t ImapSession::SetSeenFlag(const char* folder, uint32_t uid, int32_t seen) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.SetSeenFlag(folder, uid, seen != 0));
}

int32_t ImapSession::CopyMessage(uint32_t uid, const char* source, const char* target) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.MoveMessages(source, target, 1, &uid));
}

int32_t ImapSession::Commit() {
    if (!imapConnected) return kNoConnection;
    return imap.Expunge() ? 0 : static_cast<int32_t>(SessionResult::ExpungeRefused);
}

int32_t ImapSession::AddFolder(const char* name) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.CreateFolder(name));
}

int32_t ImapSession::DeleteFolder(const char* name) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.DeleteFolder(name, false, nullptr));
}

int32_t ImapSession::RenameFolder(const char* oldName, const char* newName) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.RenameFolder(oldName, newName));
}

int32_t ImapSession::Append(const char* folder, const char* text) {
    if (!imapConnected) return kNoConnection;
    return ToInt(imap.AppendMessage(folder, text));
}

int32_t ImapSession::SelectFolder(const char* name) { return ToInt(imap.OpenFolder(name)); }
