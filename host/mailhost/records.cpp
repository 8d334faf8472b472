#include "records.h"

#include <cstring>

#include "system.h"
#include "text.h"

void ReleaseRecord::operator()(MailMsg* record) const { hostos::ReleaseRecordBlock(record); }

RecordArray::~RecordArray() {
    if (items) m_plugin.FreeMailMsg(items, static_cast<int32_t>(count));
}

FolderList::~FolderList() {
    if (items) m_plugin.FreeFolderList(items, static_cast<int32_t>(count));
}

uint32_t UidOf(const MailMsg& record) {
    uint32_t uid = 0;
    if (record.idLength == 4 && record.id) std::memcpy(&uid, record.id, 4);
    return uid;
}

const char* KindName(int32_t kind) {
    static const char* const kNames[] = {"inbox", "outbox", "drafts", "sent", "trash"};
    return kind >= 0 && kind < 5 ? kNames[kind] : "other";
}

HostMessage::HostMessage(uint32_t uid, const Texts& t) {
    // The nine texts in the head's order: from, to, cc, bcc, replyTo, extra, subject, body, attachments.
    const std::string* ordered[9] = {&t.from, &t.to,      &t.cc,   &t.bcc,        nullptr,
                                     nullptr, &t.subject, &t.body, &t.attachments};
    size_t size = sizeof(MailMsg) + (uid ? 4 : 0);
    for (const std::string* text : ordered)
        if (text && !text->empty()) size += text->size() + 1;
    m_block.assign((size + 7) / 8, 0);
    auto* head = reinterpret_cast<MailMsg*>(m_block.data());
    auto* data = reinterpret_cast<char*>(m_block.data()) + sizeof(MailMsg);
    head->marker = 1;
    head->flagWord = 0x0400;
    head->flags = 0x002A0000;
    if (uid) {
        head->idLength = 4;
        head->id = reinterpret_cast<const uint8_t*>(data);
        std::memcpy(data, &uid, 4);
        data += 4;
    }
    const char** fields[9] = {&head->from,  &head->to,      &head->cc,   &head->bcc,        &head->replyTo,
                              &head->extra, &head->subject, &head->body, &head->attachments};
    for (int i = 0; i < 9; ++i) {
        if (!ordered[i] || ordered[i]->empty()) continue;
        *fields[i] = data;
        std::memcpy(data, ordered[i]->c_str(), ordered[i]->size() + 1);
        data += ordered[i]->size() + 1;
    }
}

namespace {

std::string Hex(const uint8_t* bytes, uint32_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint32_t i = 0; bytes && i < length; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0; !text.empty() && start <= text.size();) {
        const size_t end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

void WriteRecordJson(JsonWriter& json, const MailMsg& r) {
    json.Field("uid", UidOf(r))
        .Field("marker", r.marker)
        .Field("id", Hex(r.id, r.idLength))
        .Field("id2", Hex(r.id2, r.id2Length))
        .Field("id3", Hex(r.id3, r.id3Length))
        .Field("auxText", Utf8FromHost(r.auxText))
        .Field("auxData", Hex(r.auxData, r.auxDataLength))
        .Field("host1Word", r.host1Word)
        .Field("host2Word", r.host2Word)
        .Field("host1Value", r.host1Value)
        .Field("host2Value", r.host2Value)
        .Field("date", r.date)
        .Field("dateUtc", r.date ? IsoUtcText(r.date) : "")
        .Field("partial", r.partial != 0)
        .Field("flagWord", r.flagWord)
        .Field("flags", r.flags)
        .Field("read", (r.flags & ZQ_FLAG_READ) != 0)
        .Field("downloaded", (r.flags & ZQ_FLAG_DOWNLOADED) != 0)
        .Field("from", Utf8FromHost(r.from))
        .Field("to", Utf8FromHost(r.to))
        .Field("cc", Utf8FromHost(r.cc))
        .Field("bcc", Utf8FromHost(r.bcc))
        .Field("replyTo", Utf8FromHost(r.replyTo))
        .Field("extra", Utf8FromHost(r.extra))
        .Field("subject", Utf8FromHost(r.subject))
        .Field("body", Utf8FromHost(r.body));
    json.Key("attachments").BeginArray();
    for (const std::string& path : Split(r.attachments ? r.attachments : "", ','))
        json.String(Utf8FromHost(path.c_str()));
    json.EndArray();
}
