// How the host learns which messages a folder holds: ids with read state (GetMsgIds), header
// records from the listing's status records (GetMsgHeaders), and the whole Inbox (GetAllMsgs).
#include <exception>
#include <memory>
#include <vector>

#include "imap/message_retrieval.h"
#include "records/cmsg.h"
#include "session/folder_list.h"
#include "session/imap_session.h"
#include "session/message_id.h"
#include "session/record_array.h"

namespace {

constexpr int32_t kNoConnection = static_cast<int32_t>(SessionResult::NoConnection);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(SessionResult::OutOfMemory);

void SetReadBit(CMsg& message, bool seen) {
    if (seen)
        message.m_dwFlags |= kMsgFlagRead;
    else
        message.m_dwFlags &= ~kMsgFlagRead;
}

// A record that cannot be built is left out; the count says how many were.
void AppendRecord(const CMsg& message, RecordArray& array) {
    MailMsg* record = nullptr;
    message.ToMailMsg(&record);
    array.Append(record);
}

}  // namespace

int32_t ImapSession::RefreshFolder(const char* name) {
    if (!imapConnected) return kNoConnection;
    FolderCache* cache = FindFolder(name);
    if (!cache) return kNoConnection;
    cache->uids.clear();
    int count = 0;
    const ImapResult result = imap.GetMessageUids(name, cache->uids, count);
    cache->uids.resize(count > 0 ? static_cast<size_t>(count) : 0);
    return ToInt(result);
}

int32_t ImapSession::GetMsgIds(FolderRef folder, MailMsg*** records, uint32_t* count) {
    if (!imapConnected) return kNoConnection;
    const char* name = FolderNameOf(folder);
    if (!FindFolder(name)) return kNoConnection;
    const int32_t refreshed = RefreshFolder(name);
    if (refreshed != 0) return refreshed;
    if (!records || !count) return kOutOfMemory;
    FolderCache* cache = FindFolder(name);

    *count = 0;
    if (cache->uids.empty()) return 0;
    RecordArray array(static_cast<uint32_t>(cache->uids.size()));
    if (!array.IsAllocated()) return kOutOfMemory;
    for (const uint32_t uid : cache->uids) {
        bool seen = false;
        int32_t received = 0;
        // A message whose flags and date cannot be read is listed unread and undated.
        if (GetReceivedInfo(imap, name, uid, seen, received) != ImapResult::Ok) {
            seen = false;
            received = 0;
        }
        CMsg message;
        SetUidId(message.m_id, uid);
        SetReadBit(message, seen);
        cache->AddStatus(MessageStatus{uid, seen ? 1 : 0, received});
        AppendRecord(message, array);
    }
    array.HandOver(records, *count);
    return 0;
}

int32_t ImapSession::GetMsgHeaders(FolderRef folder, MailMsg*** records, uint32_t* count,
                                   const MessageIdRef* const* ids, const int32_t* idCount) {
    if (!imapConnected) return kNoConnection;
    const int32_t n = idCount ? *idCount : 0;
    if (n < 0 || (n > 0 && !ids)) return kOutOfMemory;
    std::vector<uint32_t> uids;
    try {
        uids.reserve(static_cast<size_t>(n));
    } catch (const std::exception&) {
        return kOutOfMemory;  // a count beyond what the address space holds
    }
    // Ids of another form than a UID match no status record.
    for (int32_t i = 0; i < n; ++i) {
        const MessageIdRef* id = ids[i];
        uids.push_back(id && id->data && id->length >= kUidIdLength ? UidFromBytes(id->data) : 0);
    }
    const char* name = FolderNameOf(folder);
    if (!records || !count) return kOutOfMemory;
    *count = 0;
    if (n == 0) return 0;
    const FolderCache* cache = FindFolder(name);
    if (!cache) return kOutOfMemory;
    RecordArray array(static_cast<uint32_t>(n));
    if (!array.IsAllocated()) return kOutOfMemory;

    CMsg message;
    for (const uint32_t uid : uids) {
        const MessageStatus* status = cache->FindStatus(uid);
        if (!status) continue;
        SetReadBit(message, status->seen != 0);
        message.m_tDate = CTime(status->received);
        SetUidId(message.m_id, uid);
        AppendRecord(message, array);
    }
    array.HandOver(records, *count);
    return 0;
}

int32_t ImapSession::GetAllMsgs(MailMsg*** records, uint32_t* count, int32_t headersOnly) {
    if (!imapConnected) return kNoConnection;
    const int32_t refreshed = RefreshFolder("Inbox");
    FolderCache* inbox = FindFolder("Inbox");
    if (!inbox || refreshed != 0 || !records || !count) return kOutOfMemory;
    *count = 0;
    if (inbox->uids.empty()) return 0;
    uint32_t produced = static_cast<uint32_t>(inbox->uids.size());
    const int32_t result = DownloadMessages("Inbox", inbox->uids.data(), produced, records, headersOnly != 0);
    *count = produced;
    return result;
}
