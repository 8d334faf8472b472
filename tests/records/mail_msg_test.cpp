// The host record block: layout, the worked sizes, pointer placement and round trips.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "records/cmsg.h"

namespace {

struct BlockDeleter {
    void operator()(MailMsg* record) const { FreeMailMsgRecord(record); }
};
using Block = std::unique_ptr<MailMsg, BlockDeleter>;

Block Convert(const CMsg& msg) {
    MailMsg* out = nullptr;
    EXPECT_EQ(msg.ToMailMsg(&out), MailMsgResult::Ok);
    return Block(out);
}

const uint8_t* Base(const MailMsg* record) { return reinterpret_cast<const uint8_t*>(record); }
ptrdiff_t OffsetOf(const MailMsg* record, const void* p) { return static_cast<const uint8_t*>(p) - Base(record); }

}  // namespace

TEST(MailMsgLayout, HeadFieldsSitAtTheirHostOffsets) {
    EXPECT_EQ(sizeof(MailMsg), 112u);
    const std::pair<size_t, size_t> offsets[] = {
        {offsetof(MailMsg, marker), 0},      {offsetof(MailMsg, idLength), 8},     {offsetof(MailMsg, id), 12},
        {offsetof(MailMsg, id2Length), 16},  {offsetof(MailMsg, id2), 20},         {offsetof(MailMsg, id3Length), 24},
        {offsetof(MailMsg, id3), 28},        {offsetof(MailMsg, auxText), 32},     {offsetof(MailMsg, auxDataLength), 36},
        {offsetof(MailMsg, auxData), 40},    {offsetof(MailMsg, host1Word), 48},   {offsetof(MailMsg, host2Word), 50},
        {offsetof(MailMsg, host1Value), 52}, {offsetof(MailMsg, date), 56},        {offsetof(MailMsg, host2Value), 60},
        {offsetof(MailMsg, partial), 64},    {offsetof(MailMsg, flagWord), 68},    {offsetof(MailMsg, flags), 72},
        {offsetof(MailMsg, from), 76},       {offsetof(MailMsg, to), 80},          {offsetof(MailMsg, cc), 84},
        {offsetof(MailMsg, bcc), 88},        {offsetof(MailMsg, replyTo), 92},     {offsetof(MailMsg, extra), 96},
        {offsetof(MailMsg, subject), 100},   {offsetof(MailMsg, body), 104},       {offsetof(MailMsg, attachments), 108},
    };
    for (const auto& [actual, expected] : offsets) EXPECT_EQ(actual, expected);
}

TEST(MailMsgConversion, DefaultRecordIsABareHead) {
    CMsg msg;
    EXPECT_EQ(msg.ToMailMsg(nullptr), MailMsgResult::NullOutput);
    EXPECT_EQ(FreeMailMsgRecord(nullptr), 211);
    EXPECT_EQ(msg.MailMsgSize(), 112u);
    Block block = Convert(msg);
    const uint32_t* words = reinterpret_cast<const uint32_t*>(block.get());
    EXPECT_EQ(block->marker, 1u);
    EXPECT_EQ(block->flagWord, 0x0400);
    EXPECT_EQ(block->flags, 0x002A0000u);
    for (int i = 0; i < 28; ++i) {
        if (i == 0 || i == 17 || i == 18) continue;  // marker, flagWord (+ alignment), flags
        EXPECT_EQ(words[i], 0u) << "word at offset " << 4 * i;
    }
}

TEST(MailMsgConversion, IdAndShortSubjectMake119Bytes) {
    CMsg msg;
    const uint8_t uid[4] = {0x2A, 0, 0, 0};
    msg.m_id.SetData(uid, 4);
    msg.m_strSubject = "Hi";
    ASSERT_EQ(msg.MailMsgSize(), 119u);
    Block block = Convert(msg);
    EXPECT_EQ(block->idLength, 4u);
    EXPECT_EQ(OffsetOf(block.get(), block->id), 112);
    EXPECT_EQ(OffsetOf(block.get(), block->subject), 116) << "no NUL after the id bytes";
    EXPECT_EQ(std::memcmp(Base(block.get()) + 116, "Hi", 3), 0);
    EXPECT_EQ(block->from, nullptr);
    EXPECT_EQ(block->body, nullptr);
}

TEST(MailMsgConversion, TwoIdsAndTwoTextsMake123Bytes) {
    CMsg msg;
    msg.m_id.SetData("\x01\x02\x03\x04", 4);
    msg.m_id2.SetData("\xAA\xBB", 2);
    msg.m_strFrom = "a";
    msg.m_strBody = "xy";
    ASSERT_EQ(msg.MailMsgSize(), 123u);
    Block block = Convert(msg);
    EXPECT_EQ(OffsetOf(block.get(), block->id), 112);
    EXPECT_EQ(OffsetOf(block.get(), block->id2), 116);
    EXPECT_EQ(OffsetOf(block.get(), block->from), 118);
    EXPECT_EQ(Base(block.get())[119], 0);
    EXPECT_EQ(OffsetOf(block.get(), block->body), 120);
    EXPECT_EQ(Base(block.get())[122], 0);
    EXPECT_EQ(block->idLength, 4u);
    EXPECT_EQ(block->id2Length, 2u);
    EXPECT_EQ(block->id3Length, 0u);
    EXPECT_EQ(block->id3, nullptr);
}

TEST(MailMsgConversion, AuxItemsFollowTheIdsAndCountInTheSize) {
    CMsg msg;
    msg.m_id.SetData("\x07\0\0\0", 4);
    msg.SetAuxText("aux");
    msg.SetAuxData("\x01\x02\x03", 3);
    msg.m_strTo = "t";
    ASSERT_EQ(msg.MailMsgSize(), 112u + 4 + 4 + 3 + 2);
    Block block = Convert(msg);
    EXPECT_EQ(OffsetOf(block.get(), block->auxText), 116);
    EXPECT_STREQ(block->auxText, "aux");
    EXPECT_EQ(OffsetOf(block.get(), block->auxData), 120);
    EXPECT_EQ(block->auxDataLength, 3u);
    EXPECT_EQ(OffsetOf(block.get(), block->to), 123);
}

TEST(MailMsgConversion, RoundTripKeepsHeadAndTextsButDropsPartialAndAux) {
    CMsg original;
    original.m_id.SetData("\x10\x20\x30\x40", 4);
    original.m_id3.SetData("zz", 2);
    original.SetAuxText("dropped");
    original.m_wHost1 = 0x1234;
    original.m_wHost2 = 0x5678;
    original.m_dwHost1 = 0xDEADBEEF;
    original.m_dwHost2 = 7;
    original.m_tDate = CTime(1700000000);
    original.m_wFlags = 0x0C01;
    original.m_dwFlags = kDefaultMsgFlags | kMsgFlagRead | kMsgFlagDownloaded;
    original.m_strFrom = "from@example.org";
    original.m_strTo = "a@x;b@y";
    original.m_strCc = "c@z";
    original.m_strBcc = "d@w";
    original.m_strReplyTo = "r@x";
    original.m_strExtra = "extra";
    original.m_strSubject = "Subject";
    original.m_strBody = "Body\r\nline";
    original.m_strAttachments = "/tmp/a.txt,/tmp/b.bin";
    Block first = Convert(original);
    first->partial = 1;

    CMsg back(first.get());
    EXPECT_EQ(back.m_dwPartial, 0u);
    EXPECT_EQ(back.m_pszAuxText, nullptr);
    EXPECT_EQ(back.m_id.GetLength(), 4u);
    EXPECT_EQ(back.m_id.m_pData[4], 0) << "copies carry spare zero bytes";
    Block second = Convert(back);
    EXPECT_EQ(second->partial, 0u);
    EXPECT_EQ(second->auxText, nullptr);
    ASSERT_EQ(back.MailMsgSize() + std::strlen("dropped") + 1, original.MailMsgSize());
    // The numeric head (offsets 48 to 76) is identical once partial is cleared.
    first->partial = 0;
    EXPECT_EQ(std::memcmp(Base(first.get()) + 48, Base(second.get()) + 48, 28), 0);
    EXPECT_EQ(second->id2, nullptr);
    EXPECT_EQ(std::memcmp(second->id3, "zz", 2), 0);
    const char* MailMsg::*texts[] = {&MailMsg::from,  &MailMsg::to,      &MailMsg::cc,
                                     &MailMsg::bcc,   &MailMsg::replyTo, &MailMsg::extra,
                                     &MailMsg::subject, &MailMsg::body,  &MailMsg::attachments};
    for (auto text : texts) EXPECT_STREQ(second.get()->*text, first.get()->*text);
}

TEST(MailMsgConversion, NullPointersAndZeroLengthsGiveEmptyFields) {
    MailMsg head{};
    head.idLength = 4;  // length without data
    head.id2 = reinterpret_cast<const uint8_t*>("ab");  // data without length
    head.flags = 0;
    CMsg msg(&head);
    EXPECT_EQ(msg.m_id.GetLength(), 0u);
    EXPECT_EQ(msg.m_id2.GetLength(), 0u);
    EXPECT_TRUE(msg.m_strFrom.IsEmpty());
    EXPECT_EQ(msg.m_dwFlags, 0u) << "the record's flags replace the defaults";
}
