// The IMAP4 client: tagged commands over one SocketConnection, responses collected as raw
// text and read with plain string searches. The operations are spread over files by concern:
//   imap_engine.cpp      tags, Execute, the tagged-OK test, response lines, traces
//   imap_connection.cpp  Connect, Login, Logout, Disconnect
//   imap_folder_cache.cpp  the folder cache and the select-if-needed step
//   imap_mailbox.cpp     SELECT, LIST, CREATE, RENAME, DELETE, EXPUNGE, APPEND
//   imap_search.cpp      the UID listing
//   imap_flags.cpp       seen and deleted flags, sizes, moves
// Message retrieval joins as one more file built on the same engine and select step.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imap/imap_result.h"
#include "imap/imap_settings.h"
#include "net/socket_connection.h"
#include "platform/cstring.h"
#include "platform/line_array.h"

class ImapClient {
public:
    ImapClient() = default;
    virtual ~ImapClient();
    ImapClient(const ImapClient&) = delete;
    ImapClient& operator=(const ImapClient&) = delete;

    // --- engine
    CString NextTag();
    CString CurrentTag() const { return m_currentTag; }
    bool Execute(const char* command, CString& response);
    bool IsTaggedOk(const CString& response) const;
    int SplitResponseLines(const CString& text, LineArray& lines) const;
    // The same, keeping the text itself instead of a copy (a downloaded message).
    int SplitResponseLines(CString&& text, LineArray& lines) const;

    // --- connection
    ImapResult Connect(const ImapSettings* settings);
    ImapResult Login();
    ImapResult Logout();
    ImapResult Disconnect();

    // --- mailbox commands
    bool SelectFolder(const char* name);
    ImapResult OpenFolder(const char* name);
    bool LoadFolderList();
    ImapResult GetFolderList(CStringArray& out);
    bool IsFolderKnown(const char* name) const;
    bool Expunge();
    ImapResult CreateFolder(const char* name);
    ImapResult RenameFolder(const char* oldName, const char* newName);
    ImapResult DeleteFolder(const char* name, bool moveFirst, const char* target);
    ImapResult AppendMessage(const char* folder, const char* text);

    // --- search, flags and sizes
    // The UIDs in server order; `count` says how many (the list may grow past the message
    // count the folder reported at SELECT, when mail arrived since).
    ImapResult GetMessageUids(const char* folder, std::vector<uint32_t>& uids, int& count);
    ImapResult SetSeenFlag(const char* folder, uint32_t uid, bool set);
    ImapResult GetSeenFlag(const char* folder, uint32_t uid, bool& seen);
    uint32_t GetMessageSize(const char* folder, uint32_t uid);
    ImapResult MarkDeleted(const char* folder, uint32_t uid);
    ImapResult MoveMessages(const char* source, const char* target, int count, const uint32_t* uids);

    // --- state, for the session and for the operations in other files
    bool IsConnected() const { return m_connected; }
    bool IsLoggedIn() const { return m_loggedIn; }
    bool IsFolderListLoaded() const { return m_folderListLoaded; }
    bool IsInboxListed() const { return m_inboxListed; }
    const CStringArray& Folders() const { return m_folders; }
    const CString& SelectedFolder() const { return m_selectedFolder; }
    int32_t SelectedCount() const { return m_selectedCount; }
    const ImapSettings& Settings() const { return m_settings; }
    SocketConnection* Socket() { return m_socket.get(); }

    // Connected, with a socket, and logged in.
    bool IsReady() const { return m_connected && m_socket && m_loggedIn; }
    // True when `name` is the selected folder: whole names, letter case ignored.
    bool IsSelected(const char* name) const;
    // Selects `name` unless it is selected already: Ok, UnknownFolder or SelectFailed.
    ImapResult SelectIfNeeded(const char* name);

    // Cache edits: true when the cache held the folder.
    bool RenameInCache(const char* oldName, const char* newName);
    bool RemoveFromCache(const char* name);

private:
    void Trace(const char* command, const CString& response) const;
    ImapResult LoginAttempt(const char* format, bool& accepted);
    ImapResult DeleteNow(const char* name);
    void StoreUid(std::vector<uint32_t>& uids, int& count, uint32_t uid) const;
    ImapResult SearchFallback(std::vector<uint32_t>& uids, int& count);

    // One counter for the process: only one client talks at a time, and every disconnect
    // starts the numbering again at 1.
    static uint32_t s_tagCounter;

    std::unique_ptr<SocketConnection> m_socket;
    ImapSettings m_settings;
    CString m_currentTag;
    bool m_connected = false;
    bool m_loggedIn = false;
    bool m_folderListLoaded = false;
    bool m_inboxListed = false;
    CStringArray m_folders;
    CString m_selectedFolder;
    int32_t m_selectedCount = 0;
    // The last Execute could not send because the stream is gone (reset or closed); a send that
    // timed out does not set it.
    bool m_streamGone = false;
};

// UIDs go on the wire unsigned: the same text as a signed number for every UID below 2^31,
// and still the server's own number above it.
inline unsigned long UidArgument(uint32_t uid) { return uid; }
