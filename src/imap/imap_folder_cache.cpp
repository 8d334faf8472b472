#include "imap/imap_client.h"

namespace {
bool SameName(const CString& a, const char* b) { return a.CompareNoCase(b ? b : "") == 0; }
}  // namespace

// Whole names only: "Work" must never be taken for "Work Archive", or a message operation
// would act on another folder's messages with the same UIDs.
bool ImapClient::IsSelected(const char* name) const {
    return !m_selectedFolder.IsEmpty() && SameName(m_selectedFolder, name);
}

bool ImapClient::IsFolderKnown(const char* name) const {
    if (!m_folderListLoaded) return true;
    for (const CString& folder : m_folders)
        if (SameName(folder, name)) return true;
    return false;
}

ImapResult ImapClient::SelectIfNeeded(const char* name) {
    if (IsSelected(name)) return ImapResult::Ok;
    if (!IsFolderKnown(name)) return ImapResult::UnknownFolder;
    if (!SelectFolder(name)) return ImapResult::SelectFailed;
    return ImapResult::Ok;
}

ImapResult ImapClient::GetFolderList(CStringArray& out) {
    if (m_folders.IsEmpty() && !LoadFolderList()) return ImapResult::CommandFailed;
    out.RemoveAll();
    for (const CString& folder : m_folders) out.Add(folder);
    return ImapResult::Ok;
}

bool ImapClient::RenameInCache(const char* oldName, const char* newName) {
    for (int i = 0; i < m_folders.GetSize(); ++i) {
        if (SameName(m_folders[i], oldName)) {
            m_folders[i] = newName;
            return true;
        }
    }
    return false;
}

bool ImapClient::RemoveFromCache(const char* name) {
    for (int i = 0; i < m_folders.GetSize(); ++i) {
        if (!SameName(m_folders[i], name)) continue;
        if (SameName(m_selectedFolder, name)) {
            m_selectedFolder.Empty();
            m_selectedCount = 0;
        }
        m_folders.RemoveAt(i);
        return true;
    }
    return false;
}
