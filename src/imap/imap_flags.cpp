#include <string_view>

#include "imap/imap_client.h"
#include "imap/imap_response_parse.h"
#include "mime/text_match.h"

ImapResult ImapClient::SetSeenFlag(const char* folder, uint32_t uid, bool set) {
    if (uid == 0 || !IsReady()) return ImapResult::NotReady;
    // Without a folder the command acts on the selected one.
    if (folder && *folder) {
        const ImapResult selected = SelectIfNeeded(folder);
        if (selected != ImapResult::Ok) return selected;
    }
    CString command, response;
    command.Format("UID STORE %lu %cFLAGS.SILENT \\seen", UidArgument(uid), set ? '+' : '-');
    return Execute(command, response) ? ImapResult::Ok : ImapResult::SeenFlagFailed;
}

ImapResult ImapClient::GetSeenFlag(const char* folder, uint32_t uid, bool& seen) {
    if (uid == 0 || !folder || !*folder || !IsReady()) return ImapResult::NotReady;
    const ImapResult selected = SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;
    CString command, response;
    command.Format("UID FETCH %lu FLAGS", UidArgument(uid));
    if (!Execute(command, response)) return ImapResult::SeenFlagFailed;
    seen = ContainsNoCase("seen", response.view());
    return ImapResult::Ok;
}

// Called by retrieval on a client it has already checked; 0 stands for every failure.
uint32_t ImapClient::GetMessageSize(const char* folder, uint32_t uid) {
    if (SelectIfNeeded(folder) != ImapResult::Ok) return 0;
    CString command, response;
    command.Format("UID FETCH %lu rfc822.size", UidArgument(uid));
    if (!Execute(command, response)) return 0;
    return ParseMessageSize(response.view());
}

ImapResult ImapClient::MarkDeleted(const char* folder, uint32_t uid) {
    if (uid == 0 || !folder || !*folder || !IsReady()) return ImapResult::NotReady;
    const ImapResult selected = SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;
    CString command, response;
    command.Format("UID STORE %lu +FLAGS.SILENT \\deleted", UidArgument(uid));
    return Execute(command, response) ? ImapResult::Ok : ImapResult::DeleteFailed;
}

ImapResult ImapClient::MoveMessages(const char* source, const char* target, int count, const uint32_t* uids) {
    if (!IsReady() || !uids || !source || !*source || !target || !*target) return ImapResult::NotReady;
    if (count == 0) return ImapResult::NothingMoved;
    if (!IsFolderKnown(source) || !IsFolderKnown(target)) return ImapResult::UnknownFolder;
    const ImapResult selected = SelectIfNeeded(source);
    if (selected != ImapResult::Ok) return selected;

    int moved = 0;
    CString command, response;
    for (int i = 0; i < count; ++i) {
        command.Format("UID COPY %lu \"%s\"", UidArgument(uids[i]), target);
        // Failures do not stop the loop: every message gets its chance.
        if (Execute(command, response) && MarkDeleted(source, uids[i]) == ImapResult::Ok) ++moved;
    }
    return moved > 0 ? ImapResult::Ok : ImapResult::NothingMoved;
}
