#include <string_view>

#include "imap/imap_client.h"
#include "imap/imap_text.h"
#include "mime/text_match.h"

// The list grows past the count of the SELECT when the server reports more UIDs: mail may
// have arrived since, and nothing is ever written outside the list.
void ImapClient::StoreUid(std::vector<uint32_t>& uids, int& count, uint32_t uid) const {
    uids.push_back(uid);
    count = static_cast<int>(uids.size());
}

ImapResult ImapClient::GetMessageUids(const char* folder, std::vector<uint32_t>& uids, int& count) {
    count = 0;
    if (!folder || !*folder || !IsReady()) return ImapResult::NotReady;
    const ImapResult selected = SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;
    if (m_selectedCount == 0) return ImapResult::Ok;  // nothing to search; no list is made

    uids.clear();
    uids.reserve(m_selectedCount > 0 ? static_cast<size_t>(m_selectedCount) : 0);
    CString command;
    if (!m_settings.sinceDate.IsEmpty())
        command.Format("UID SEARCH NOT DELETED SINCE %s", m_settings.sinceDate.c_str());
    else
        command = "UID SEARCH NOT DELETED";
    if (m_settings.unreadOnly) command += " NOT SEEN";

    CString response;
    // A server that refuses the criteria is asked message by message.
    if (!Execute(command, response)) return SearchFallback(uids, count);

    CStringArray lines;
    if (SplitResponseLines(response, lines) == 0) {
        uids.clear();
        return ImapResult::NoUids;
    }
    // "* SEARCH 3 5 8": the numbers follow the second space.
    const std::string_view line = lines[0].view();
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        uids.clear();
        return ImapResult::NoUids;
    }
    std::string_view numbers = line.substr(second + 1);
    while (!numbers.empty()) {
        const size_t space = numbers.find(' ');
        const std::string_view token = numbers.substr(0, space);
        StoreUid(uids, count, static_cast<uint32_t>(LeadingDecimal(token)));
        // The token and the one character after it are dropped.
        numbers = space == std::string_view::npos ? std::string_view() : numbers.substr(space + 1);
    }
    return ImapResult::Ok;
}

ImapResult ImapClient::SearchFallback(std::vector<uint32_t>& uids, int& count) {
    CString command, response;
    std::vector<int> candidates;
    for (int n = 1; n <= m_selectedCount; ++n) {
        if (m_settings.unreadOnly) {
            command.Format("FETCH %d FLAGS", n);
            if (!Execute(command, response) || ContainsNoCase("seen", response.view())) continue;
        }
        candidates.push_back(n);
    }
    if (candidates.empty()) return ImapResult::Ok;
    for (int n : candidates) {
        command.Format("FETCH %d UID", n);
        if (!Execute(command, response)) continue;
        CString lower = response;
        lower.MakeLower();
        const int uid = lower.Find("uid");
        const int space = uid < 0 ? -1 : lower.Find(' ', uid);
        const int close = space < 0 ? -1 : lower.Find(')', space);
        if (close < 0) continue;
        StoreUid(uids, count, static_cast<uint32_t>(LeadingDecimal(lower.view().substr(space, close - space))));
    }
    return count > 0 ? ImapResult::Ok : ImapResult::NoUids;
}
