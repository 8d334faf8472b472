#include <new>

#include "imap/imap_client.h"
#include "platform/host_binding.h"

// Never throws: the owner may be going away with the library (the stream closes either way).
ImapClient::~ImapClient() {
    try {
        Disconnect();
    } catch (...) {
    }
}

ImapResult ImapClient::Connect(const ImapSettings* settings) {
    if (m_connected) return ImapResult::Ok;  // the settings are not copied again
    if (!settings) return ImapResult::NoSettings;
    m_settings = *settings;

    m_socket.reset(new (std::nothrow) SocketConnection(SocketSettings::For(
        m_settings.server, m_settings.port, m_settings.receiveTimeoutMs, m_settings.sendTimeoutMs)));
    if (!m_socket) {
        if (m_settings.logging) host::Log("IMAP: Could not create socket.");
        return ImapResult::SocketCreateFailed;
    }
    CString text;
    if (m_socket->Startup() != SocketResult::Ok) {
        if (m_settings.logging) {
            text.Format("IMAP: Could not intitialize socket.\n%s", m_socket->LastError().c_str());
            host::Log(text);
        }
        return ImapResult::StartupFailed;
    }
    if (m_socket->Connect() != SocketResult::Ok) {
        if (m_settings.logging) {
            text.Format("IMAP: Could not connect socket.\n%s", m_socket->LastError().c_str());
            host::Log(text);
        }
        return ImapResult::ConnectFailed;
    }
    // The greeting is read and dropped; a refusal shows at LOGIN instead.
    CString greeting;
    m_socket->Receive(greeting, nullptr);
    m_connected = true;
    return ImapResult::Ok;
}

// One LOGIN line straight to the socket, never traced: it carries the password.
ImapResult ImapClient::LoginAttempt(const char* format, bool& accepted) {
    NextTag();
    CString line;
    line.Format(format, m_currentTag.c_str(), m_settings.userName.c_str(), m_settings.password.c_str());
    if (m_socket->Send(line) != SocketResult::Ok) return ImapResult::SendFailed;
    CString reply;
    if (m_socket->Receive(reply, nullptr) != SocketResult::Ok) return ImapResult::ReceiveFailed;
    accepted = IsTaggedOk(reply);
    return ImapResult::Ok;
}

ImapResult ImapClient::Login() {
    if (!m_connected || !m_socket) return ImapResult::NotConnected;
    bool accepted = false;
    ImapResult result = LoginAttempt("%s LOGIN \"%s\" \"%s\"\r\n", accepted);
    if (result != ImapResult::Ok) return result;
    if (!accepted) {
        // Servers that refuse quoted arguments get the bare form.
        result = LoginAttempt("%s LOGIN %s %s\r\n", accepted);
        if (result != ImapResult::Ok) return result;
        if (!accepted) return ImapResult::LoginRefused;
    }
    m_loggedIn = true;
    m_folderListLoaded = LoadFolderList();
    return ImapResult::Ok;
}

ImapResult ImapClient::Logout() {
    if (!m_connected || !m_socket || !m_loggedIn) return ImapResult::NotConnected;
    CString response;
    if (!Execute("LOGOUT", response)) return ImapResult::LogoutRefused;
    m_loggedIn = false;
    return ImapResult::Ok;
}

ImapResult ImapClient::Disconnect() {
    if (m_socket && m_loggedIn) Logout();
    m_connected = false;
    m_socket.reset();  // closes the stream
    m_folderListLoaded = false;
    m_inboxListed = false;
    m_folders.RemoveAll();
    m_selectedFolder.Empty();
    m_selectedCount = 0;
    s_tagCounter = 0;
    m_currentTag.Empty();
    return ImapResult::Ok;
}
