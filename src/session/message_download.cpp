// Server messages turned into host records: retrieval, the CMsg with its texts, date, read
// state, body and attachment files, the message cache, and GetMsg on top of it.
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "imap/message_retrieval.h"
#include "mime/base64_decode.h"
#include "mime/date_parse.h"
#include "mime/text_match.h"
#include "platform/files.h"
#include "platform/host_binding.h"
#include "records/cmsg.h"
#include "session/attachment_files.h"
#include "session/folder_list.h"
#include "session/imap_session.h"
#include "session/message_id.h"
#include "session/record_array.h"

namespace {

constexpr int32_t kNoConnection = static_cast<int32_t>(SessionResult::NoConnection);
constexpr int32_t kUnknownId = static_cast<int32_t>(SessionResult::Failed);

// Every line break becomes CR LF; a lone CR stays as it is. One pass.
CString WithCrLfLineEnds(const CString& text) {
    const std::string& in = text.str();
    std::string out;
    out.reserve(in.size() + in.size() / 32);
    for (size_t i = 0; i < in.size(); ++i) {
        const char ch = in[i];
        if (ch == '\r' && i + 1 < in.size() && in[i + 1] == '\n') continue;
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return CString(std::move(out));
}

// The preferred text part when its body is not empty, else the other one.
CString BodyText(const RetrievedMessage& retrieved, bool preferHtml) {
    const MimePart& preferred = preferHtml ? retrieved.htmlPart : retrieved.plainPart;
    const MimePart& other = preferHtml ? retrieved.plainPart : retrieved.htmlPart;
    const MimePart& source = preferred.body.IsEmpty() ? other : preferred;
    if (!ContainsNoCase("base64", source.transferEncoding.view())) return WithCrLfLineEnds(source.body);
    CString decoded;
    Base64DecodeText(source.body, decoded);
    return WithCrLfLineEnds(decoded);
}

// Paths of the written files joined by ","; a part that cannot be written is left out. The
// list separator cannot appear in a path: in a directory whose path holds one, nothing is
// written (the host could not tell the paths apart, and a release would delete the wrong file).
CString WriteAttachments(const RetrievedMessage& retrieved, bool verbose) {
    const CString directory = files::TempDirectory();
    CString paths;
    if (retrieved.attachmentCount > 0 && directory.Find(',') >= 0) {
        if (verbose) {
            CString line;
            line.Format("IMAP: Attachments not saved: the temporary directory '%s' has a comma in its path.",
                        directory.c_str());
            host::Log(line);
        }
        return paths;
    }
    for (int32_t i = 0; i < retrieved.attachmentCount && i < kMaxRetrievedAttachments; ++i) {
        CString path;
        try {
            path = WriteAttachmentFile(retrieved.attachments[i], directory);
        } catch (const std::exception&) {
            continue;  // too large to decode in memory: the message goes without it
        }
        if (path.IsEmpty()) continue;
        if (!paths.IsEmpty()) paths += ',';
        paths += path;
    }
    return paths;
}

void ReleaseRecords(MailMsg** array, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) FreeMailMsgRecord(array[i]);
    delete[] array;
}

}  // namespace

std::unique_ptr<CMsg> ImapSession::BuildMessage(const char* folder, uint32_t uid, const RetrievedMessage& retrieved,
                                                bool headersOnly) {
    auto message = std::make_unique<CMsg>();
    const MimeHeaderBlock& header = retrieved.header;
    message->m_strFrom = header.from;
    message->m_strTo = header.to;
    message->m_strCc = header.cc;
    message->m_strSubject = header.subject;
    message->m_strDate = header.date;
    message->m_strReplyTo = header.replyTo.IsEmpty() ? header.from : header.replyTo;

    const CString& dated = header.received.IsEmpty() ? header.date : header.received;
    if (!dated.IsEmpty()) ParseDateText(message->m_tDate, dated);

    message->m_dwFlags |= kMsgFlagDownloaded;
    SetUidId(message->m_id, uid);

    int32_t seen = 0;
    if (!LookupSeen(folder, uid, seen)) {
        bool flagged = false;
        imap.GetSeenFlag(folder, uid, flagged);
        seen = flagged ? 1 : 0;
    }
    if (seen) message->m_dwFlags |= kMsgFlagRead;
    // Fetching the whole message set \Seen on the server; an unread message stays unread there.
    if (!seen && !headersOnly) imap.SetSeenFlag(folder, uid, false);

    message->m_strBody = BodyText(retrieved, logon.preferHtml != 0);
    message->m_strAttachments = WriteAttachments(retrieved, verbose != 0);
    return message;
}

int32_t ImapSession::DownloadMessages(const char* folder, const uint32_t* uids, uint32_t& count, MailMsg*** out,
                                      bool headersOnly) {
    if (!imapConnected) return kNoConnection;
    const uint32_t n = count;
    count = 0;
    if (n == 0 || !uids || !out) return 0;
    RecordArray array(n);
    if (!array.IsAllocated()) return 0;

    auto retrieved = std::make_unique<RetrievedMessage>();
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t uid = uids[i];
        if (RetrieveMessage(imap, folder, uid, retrieved.get(), headersOnly) != ImapResult::Ok) continue;
        std::unique_ptr<CMsg> message = BuildMessage(folder, uid, *retrieved, headersOnly);
        MailMsg* record = nullptr;
        message->ToMailMsg(&record);
        if (record) record->partial = retrieved->wholeMessage == 0 ? 1 : 0;
        array.Append(record);
        // Header-only downloads leave nothing behind.
        FolderCache* cache = headersOnly ? nullptr : FindFolder(folder);
        if (cache) cache->messages.push_back(std::move(message));
    }
    array.HandOver(out, count);
    return 0;
}

int32_t ImapSession::GetMsg(FolderRef folder, const MessageIdRef* id, MailMsg** record) {
    if (!imapConnected) return kNoConnection;
    const char* name = FolderNameOf(folder);
    if (!id || (id->length > 0 && !id->data)) return kUnknownId;
    if (const CMsg* cached = FindCachedMessage(name, id->length, id->data)) {
        // From the cache the record is never partial, whatever the first download gave.
        if (record) cached->ToMailMsg(record);
        return 0;
    }
    if (id->length != kUidIdLength) return kUnknownId;

    const uint32_t uid = UidFromBytes(id->data);
    uint32_t produced = 1;
    MailMsg** array = nullptr;
    if (DownloadMessages(name, &uid, produced, &array, false) != 0 || !array) return 0;
    // The downloaded record itself is handed out: the same bytes, partial word included, as a
    // copy rebuilt from it would carry.
    if (produced == 1 && record) {
        *record = array[0];
        array[0] = nullptr;
    }
    ReleaseRecords(array, produced);
    return 0;
}

CMsg* ImapSession::FindCachedMessage(const char* folder, uint32_t length, const uint8_t* bytes) {
    const FolderCache* cache = FindFolder(folder);
    if (!cache || (length > 0 && !bytes)) return nullptr;
    // Compared in place: the host's length is only trusted once it matches a cached id's.
    for (const auto& message : cache->messages) {
        const CId& id = message->m_id;
        if (id.GetLength() == length && (length == 0 || std::memcmp(id.GetData(), bytes, length) == 0))
            return message.get();
    }
    return nullptr;
}

bool ImapSession::LookupSeen(const char* folder, uint32_t uid, int32_t& seen) {
    const FolderCache* cache = FindFolder(folder);
    const MessageStatus* status = cache ? cache->FindStatus(uid) : nullptr;
    if (!status) return false;
    seen = status->seen;
    return true;
}
