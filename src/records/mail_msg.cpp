// Conversions between CMsg and the host's MailMsg block.
#include <cstddef>
#include <cstring>

#include "platform/global_memory.h"
#include "platform/layout32.h"
#include "records/cmsg.h"

ZQ_LAYOUT32(sizeof(void*) == 4, "the host records are i386 layouts: build with -m32");
ZQ_LAYOUT32(sizeof(MailMsg) == kMailMsgHeadSize);
ZQ_LAYOUT32(offsetof(MailMsg, idLength) == 8 && offsetof(MailMsg, id) == 12);
ZQ_LAYOUT32(offsetof(MailMsg, id2Length) == 16 && offsetof(MailMsg, id2) == 20);
ZQ_LAYOUT32(offsetof(MailMsg, id3Length) == 24 && offsetof(MailMsg, id3) == 28);
ZQ_LAYOUT32(offsetof(MailMsg, auxText) == 32 && offsetof(MailMsg, auxDataLength) == 36);
ZQ_LAYOUT32(offsetof(MailMsg, auxData) == 40 && offsetof(MailMsg, host1Word) == 48);
ZQ_LAYOUT32(offsetof(MailMsg, host2Word) == 50 && offsetof(MailMsg, host1Value) == 52);
ZQ_LAYOUT32(offsetof(MailMsg, date) == 56 && offsetof(MailMsg, host2Value) == 60);
ZQ_LAYOUT32(offsetof(MailMsg, partial) == 64 && offsetof(MailMsg, flagWord) == 68);
ZQ_LAYOUT32(offsetof(MailMsg, flags) == 72 && offsetof(MailMsg, from) == 76);
ZQ_LAYOUT32(offsetof(MailMsg, subject) == 100 && offsetof(MailMsg, attachments) == 108);

namespace {

struct TextField {
    CString CMsg::*member;
    const char* MailMsg::*pointer;
};

constexpr TextField kTexts[] = {
    {&CMsg::m_strFrom, &MailMsg::from},
    {&CMsg::m_strTo, &MailMsg::to},
    {&CMsg::m_strCc, &MailMsg::cc},
    {&CMsg::m_strBcc, &MailMsg::bcc},
    {&CMsg::m_strReplyTo, &MailMsg::replyTo},
    {&CMsg::m_strExtra, &MailMsg::extra},
    {&CMsg::m_strSubject, &MailMsg::subject},
    {&CMsg::m_strBody, &MailMsg::body},
    {&CMsg::m_strAttachments, &MailMsg::attachments},
};

bool HasAuxText(const CMsg& msg) { return msg.m_pszAuxText && msg.m_pszAuxText[0] != '\0'; }

}  // namespace

size_t CMsg::MailMsgSize() const {
    size_t size = kMailMsgHeadSize + m_id.GetLength() + m_id2.GetLength() + m_id3.GetLength() + m_cbAuxData;
    if (HasAuxText(*this)) size += std::strlen(m_pszAuxText) + 1;
    for (const TextField& field : kTexts) {
        const CString& text = this->*field.member;
        if (!text.IsEmpty()) size += static_cast<size_t>(text.GetLength()) + 1;
    }
    return size;
}

MailMsgResult CMsg::ToMailMsg(MailMsg** out) const {
    if (!out) return MailMsgResult::NullOutput;
    const size_t size = MailMsgSize();
    *out = static_cast<MailMsg*>(AllocRecordBlock(size));
    if (!*out) return MailMsgResult::OutOfMemory;
    MailMsg* record = *out;
    std::memset(record, 0, size);
    uint8_t* write = reinterpret_cast<uint8_t*>(record) + kMailMsgHeadSize;

    auto placeId = [&write](const CId& id, uint32_t& length, const uint8_t*& pointer) {
        if (id.GetLength() == 0) return;
        length = id.GetLength();
        pointer = write;
        std::memcpy(write, id.GetData(), id.GetLength());
        write += id.GetLength();
    };
    placeId(m_id, record->idLength, record->id);
    placeId(m_id2, record->id2Length, record->id2);
    placeId(m_id3, record->id3Length, record->id3);

    if (HasAuxText(*this)) {
        const size_t length = std::strlen(m_pszAuxText) + 1;
        record->auxText = reinterpret_cast<const char*>(write);
        std::memcpy(write, m_pszAuxText, length);
        write += length;
    }
    if (m_cbAuxData != 0) {
        record->auxDataLength = m_cbAuxData;
        record->auxData = write;
        std::memcpy(write, m_pAuxData, m_cbAuxData);
        write += m_cbAuxData;
    }

    record->marker = 1;
    record->host1Word = m_wHost1;
    record->host2Word = m_wHost2;
    record->host1Value = m_dwHost1;
    record->date = m_tDate.GetTime();
    record->host2Value = m_dwHost2;
    record->partial = m_dwPartial;
    record->flagWord = m_wFlags;
    record->flags = m_dwFlags;

    for (const TextField& field : kTexts) {
        const CString& text = this->*field.member;
        if (text.IsEmpty()) continue;
        const size_t length = static_cast<size_t>(text.GetLength()) + 1;
        record->*field.pointer = reinterpret_cast<const char*>(write);
        std::memcpy(write, text.c_str(), length);
        write += length;
    }
    return MailMsgResult::Ok;
}

CMsg::CMsg(const MailMsg* record) {
    if (!record) return;
    m_id.SetData(record->id, record->idLength);
    m_id2.SetData(record->id2, record->id2Length);
    m_id3.SetData(record->id3, record->id3Length);
    m_wHost1 = record->host1Word;
    m_wHost2 = record->host2Word;
    m_dwHost1 = record->host1Value;
    m_tDate = CTime(record->date);
    m_dwHost2 = record->host2Value;
    m_wFlags = record->flagWord;
    m_dwFlags = record->flags;
    for (const TextField& field : kTexts)
        if (const char* text = record->*field.pointer) this->*field.member = text;
    m_dwPartial = 0;
}

int FreeMailMsgRecord(MailMsg* record) {
    if (!record) return 211;
    FreeRecordBlock(record);
    return 0;
}
