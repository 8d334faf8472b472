#include <cstring>
#include <string_view>

#include "imap/imap_client.h"
#include "platform/host_binding.h"

uint32_t ImapClient::s_tagCounter = 0;

CString ImapClient::NextTag() {
    ++s_tagCounter;
    m_currentTag.Format("%s%d", "AEG", static_cast<int>(s_tagCounter));
    return m_currentTag;
}

bool ImapClient::Execute(const char* command, CString& response) {
    NextTag();
    CString line;
    line.Format("%s %s\r\n", m_currentTag.c_str(), command ? command : "");
    host::YieldCycles(10);
    const SocketResult sent = m_socket ? m_socket->Send(line) : SocketResult::NotConnected;
    // A reset or a closed stream is final; a time-out (the server not reading for a while) is not.
    m_streamGone = sent == SocketResult::ConnectionReset || sent == SocketResult::ConnectionAborted ||
                   sent == SocketResult::NotConnected;
    if (sent != SocketResult::Ok) return false;
    if (m_socket->Receive(response, m_currentTag) != SocketResult::Ok) return false;
    host::YieldCycles(10);
    if (m_settings.logging) Trace(command ? command : "", response);
    return IsTaggedOk(response);
}

// FETCH answers are traced by their first line only, so message bodies never reach the log.
void ImapClient::Trace(const char* command, const CString& response) const {
    std::string_view received = response.view();
    if (std::strstr(command, "FETCH")) {
        const size_t cr = received.find('\r');
        if (cr == std::string_view::npos) return;
        received = received.substr(0, cr);
    }
    std::string text;
    text.reserve(received.size() + std::strlen(command) + 24);
    text.append("IMAP SEND:").append(command).append("\nIMAP RECV:").append(received);
    host::Log(text.c_str());
}

bool ImapClient::IsTaggedOk(const CString& response) const {
    const int at = response.Find(m_currentTag);
    if (at < 0) return false;
    return response.Find(" OK", at + m_currentTag.GetLength()) >= 0;
}

int ImapClient::SplitResponseLines(const CString& text, LineArray& lines) const {
    return SplitResponseLines(CString(text), lines);
}

int ImapClient::SplitResponseLines(CString&& text, LineArray& lines) const {
    if (lines.AppendLines(std::move(text.str())) > 0 &&
        lines[lines.GetUpperBound()].find(m_currentTag.view()) != std::string_view::npos)
        lines.RemoveAt(lines.GetUpperBound());
    return lines.GetSize();
}
