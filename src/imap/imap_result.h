// Result codes of the IMAP client's operations. The numbers are fixed: the session maps them
// to host status codes. A few numbers carry a second name where an operation gives them
// another meaning.
#pragma once

enum class ImapResult : int {
    Ok = 0,
    NotReady = 1,             // not connected, no socket, not logged in, or an argument missing
    NoSettings = 1,           // Connect without a settings record
    SendFailed = 2,           // Login: the LOGIN line could not be sent
    ReceiveFailed = 3,        // Login: no reply could be read
    NoUids = 3,               // GetMessageUids: no UIDs were obtained
    SelectFailed = 4,         // the needed SELECT failed
    SocketCreateFailed = 5,   // Connect
    StartupFailed = 6,        // Connect
    ConnectFailed = 7,        // Connect
    NotConnected = 8,         // Login, Logout
    LogoutRefused = 9,        // Logout: no tagged OK
    LoginRefused = 10,        // Login: both forms refused
    DeleteFailed = 11,        // DELETE (or its COPY) failed; storing the deleted flag failed
    UnknownFolder = 12,       // the folder is not in the folder list
    NothingMoved = 13,        // MoveMessages
    AppendFailed = 14,        // AppendMessage
    SeenFlagFailed = 15,      // storing or reading the seen flag failed
    CommandFailed = 16,       // CREATE/RENAME/LIST failed, or the cache lacked the folder
};

inline int ToInt(ImapResult r) { return static_cast<int>(r); }
