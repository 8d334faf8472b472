#include <cstring>
#include <utility>

#include "imap/imap_client.h"
#include "imap/imap_response_parse.h"

bool ImapClient::SelectFolder(const char* name) {
    if (!IsReady() || !name) return false;
    CString command;
    command.Format("SELECT \"%s\"", name);
    CString response;
    if (!Execute(command, response)) return false;
    LineArray lines;
    // Only an answer with untagged lines changes the selection.
    if (SplitResponseLines(std::move(response), lines) > 0) {
        m_selectedFolder = name;
        ParseExistsCount(lines, m_selectedCount);  // without an EXISTS line the count stays
    }
    return true;
}

ImapResult ImapClient::OpenFolder(const char* name) {
    if (!IsReady()) return ImapResult::NotReady;
    const char* folder = (name && *name) ? name : "inbox";
    return SelectIfNeeded(folder);
}

bool ImapClient::LoadFolderList() {
    if (!IsReady()) return false;
    CString command;
    command.Format("LIST \"\" \"%c\"", '%');  // the top level of the hierarchy only
    CString response;
    const bool ok = Execute(command, response);
    if (ok) {
        LineArray lines;
        SplitResponseLines(std::move(response), lines);
        CString name;
        for (const std::string_view line : lines)
            if (ParseListName(CString(line), name)) m_folders.Add(name);
    }
    m_inboxListed = false;
    for (const CString& folder : m_folders)
        if (folder.CompareNoCase("Inbox") == 0) m_inboxListed = true;
    if (!m_inboxListed) m_folders.Add(CString("Inbox"));
    return ok;
}

bool ImapClient::Expunge() {
    if (!IsReady()) return false;
    CString response;
    return Execute("EXPUNGE", response);
}

ImapResult ImapClient::CreateFolder(const char* name) {
    if (!IsReady() || !name || !*name) return ImapResult::NotReady;
    CString command, response;
    command.Format("CREATE \"%s\"", name);
    if (!Execute(command, response)) return ImapResult::CommandFailed;
    command.Format("SUBSCRIBE \"%s\"", name);
    Execute(command, response);  // a refused subscription does not undo the folder
    m_folders.Add(CString(name));
    return ImapResult::Ok;
}

ImapResult ImapClient::RenameFolder(const char* oldName, const char* newName) {
    if (!IsReady() || !oldName || !*oldName || !newName || !*newName) return ImapResult::NotReady;
    if (!IsFolderKnown(oldName)) return ImapResult::UnknownFolder;
    if (!IsSelected(oldName) && !SelectFolder(oldName)) return ImapResult::SelectFailed;
    CString command, response;
    command.Format("RENAME \"%s\" \"%s\"", oldName, newName);
    if (!Execute(command, response)) return ImapResult::CommandFailed;
    command.Format("SUBSCRIBE \"%s\"", newName);
    Execute(command, response);
    return RenameInCache(oldName, newName) ? ImapResult::Ok : ImapResult::CommandFailed;
}

ImapResult ImapClient::DeleteNow(const char* name) {
    CString command, response;
    command.Format("DELETE \"%s\"", name);
    if (!Execute(command, response)) return ImapResult::DeleteFailed;
    return RemoveFromCache(name) ? ImapResult::Ok : ImapResult::CommandFailed;
}

ImapResult ImapClient::DeleteFolder(const char* name, bool moveFirst, const char* target) {
    if (!IsReady() || !name || !*name) return ImapResult::NotReady;
    if (!IsFolderKnown(name)) return ImapResult::Ok;  // nothing to delete
    if (!moveFirst) return DeleteNow(name);

    if (!target || !*target || !IsFolderKnown(target)) return ImapResult::UnknownFolder;
    const ImapResult selected = SelectIfNeeded(name);
    if (selected != ImapResult::Ok) return selected;
    CString command, response;
    command.Format("COPY 1:%d \"%s\"", static_cast<int>(m_selectedCount), target);
    if (!Execute(command, response)) return ImapResult::DeleteFailed;
    return DeleteNow(name);
}

ImapResult ImapClient::AppendMessage(const char* folder, const char* text) {
    if (!IsReady() || !folder || !*folder || !text || !*text) return ImapResult::NotReady;
    const ImapResult selected = SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;

    const size_t length = std::strlen(text);
    CString command, response;
    command.Format("APPEND \"%s\" {%d}", folder, static_cast<int>(length));
    // The continuation request carries no tag: this exchange ends at the pause and reads as
    // not OK whatever the server said.
    Execute(command, response);
    if (response.IsEmpty()) return ImapResult::AppendFailed;

    std::string literal;
    literal.reserve(length + 2);
    literal.append(text, length).append("\r\n");
    if (m_socket->Send(literal.c_str()) != SocketResult::Ok) return ImapResult::AppendFailed;
    CString reply;
    if (m_socket->Receive(reply, nullptr) != SocketResult::Ok) return ImapResult::AppendFailed;
    return IsTaggedOk(reply) ? ImapResult::Ok : ImapResult::AppendFailed;
}
