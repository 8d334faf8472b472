#include <algorithm>
#include <string_view>
#include <utility>

#include "imap/imap_client.h"
#include "imap/imap_response_parse.h"
#include "mime/text_match.h"

namespace {
constexpr int32_t kUidReserveLimit = 1 << 16;
}

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
    // Room for the announced count, within reason: the count is the server's word.
    uids.reserve(static_cast<size_t>(std::clamp<int32_t>(m_selectedCount, 0, kUidReserveLimit)));
    CString command;
    if (!m_settings.sinceDate.IsEmpty())
        command.Format("UID SEARCH NOT DELETED SINCE %s", m_settings.sinceDate.c_str());
    else
        command = "UID SEARCH NOT DELETED";
    if (m_settings.unreadOnly) command += " NOT SEEN";

    CString response;
    // A server that refuses the criteria is asked message by message.
    if (!Execute(command, response)) return SearchFallback(uids, count);

    LineArray lines;
    if (SplitResponseLines(std::move(response), lines) == 0) {
        uids.clear();
        return ImapResult::NoUids;
    }
    if (!ParseSearchUids(lines[0], uids)) {
        uids.clear();
        return ImapResult::NoUids;
    }
    count = static_cast<int>(uids.size());
    return ImapResult::Ok;
}

ImapResult ImapClient::SearchFallback(std::vector<uint32_t>& uids, int& count) {
    CString command, response;
    // One exchange per message; a failed one (a refusal, a send that timed out) skips that
    // message and the walk goes on. Once the stream is gone (reset or closed), every further
    // exchange would fail at once without reaching the server: the remaining messages count as
    // skipped without being tried, so a server that announced a huge count and went away does
    // not hold the host for billions of them.
    // Every message number is a candidate; with the unread-only flag, those whose flags were
    // read and hold no "seen". Only that list is kept, so its size follows real answers.
    std::vector<int> unread;
    if (m_settings.unreadOnly) {
        for (int n = 1; n <= m_selectedCount; ++n) {
            command.Format("FETCH %d FLAGS", n);
            if (Execute(command, response) && !ContainsNoCase("seen", response.view())) unread.push_back(n);
            if (m_streamGone) break;
        }
        if (unread.empty()) return ImapResult::Ok;
    } else if (m_selectedCount <= 0) {
        return ImapResult::Ok;
    }
    const int candidates = m_settings.unreadOnly ? static_cast<int>(unread.size()) : m_selectedCount;
    for (int i = 0; i < candidates; ++i) {
        const int n = m_settings.unreadOnly ? unread[static_cast<size_t>(i)] : i + 1;
        command.Format("FETCH %d UID", n);
        if (!Execute(command, response)) {
            if (m_streamGone) break;
            continue;  // this message is skipped
        }
        uint32_t uid = 0;
        if (ParseFetchUid(response.view(), uid)) StoreUid(uids, count, uid);
    }
    return count > 0 ? ImapResult::Ok : ImapResult::NoUids;
}
