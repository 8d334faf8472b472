// The internal records (identifiers, run-time classes, archives) and the host record block
// (layout, placement of the items after the head, round trips).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "records/archive.h"
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
ptrdiff_t OffsetOf(const MailMsg* record, const void* p) {
    return static_cast<const uint8_t*>(p) - Base(record);
}
std::string Head(const std::vector<uint8_t>& bytes, size_t n) { return {bytes.begin(), bytes.begin() + n}; }

const char* MailMsg::*const kTexts[] = {&MailMsg::from,    &MailMsg::to,      &MailMsg::cc,
                                        &MailMsg::bcc,     &MailMsg::replyTo, &MailMsg::extra,
                                        &MailMsg::subject, &MailMsg::body,    &MailMsg::attachments};

// Every field set, no two numbers alike; the subject and body pass the one-byte and the 16-bit
// length forms of the archive.
void Fill(CMsg& msg) {
    msg.m_id.SetData("\x10\x20\x30\x40", 4);
    msg.m_id3.SetData("zz", 2);
    msg.SetAuxText("dropped");
    msg.m_wHost1 = 0x1234;
    msg.m_wHost2 = 0x5678;
    msg.m_dwHost1 = 0xDEADBEEF;
    msg.m_dwHost2 = 7;
    msg.m_tDate = CTime(1700000000);
    msg.m_dwPartial = 1;
    msg.m_wFlags = 0x0C01;
    msg.m_dwFlags = kDefaultMsgFlags | kMsgFlagRead | kMsgFlagDownloaded;
    msg.m_strFrom = "from@example.org";
    msg.m_strTo = "a@x;b@y";
    msg.m_strCc = "c@z";
    msg.m_strBcc = "d@w";
    msg.m_strReplyTo = "r@x";
    msg.m_strExtra = "extra";
    msg.m_strSubject = CString('s', 300);
    msg.m_strBody = CString('b', 70000);
    msg.m_strAttachments = "/tmp/a.txt,/tmp/b.bin";
    msg.m_strDate = "Mon, 1 Jan 2024";
}

}  // namespace

TEST(CIdRecord, CopiesCarryTenSpareZerosAndCompareByLengthAndBytes) {
    CId id("\x01\x02\x03\x04", 4);
    EXPECT_EQ(id.Uid(), 0x04030201u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(id.m_pData), 14),
              "\x01\x02\x03\x04" + std::string(10, '\0'));
    id.SetData(id.m_pData + 2, 2);  // aliasing its own bytes
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(id.m_pData), 3), std::string("\x03\x04\0", 3));
    EXPECT_EQ(id.Uid(), 0u) << "shorter than a UID";
    for (const char* data : {static_cast<const char*>(nullptr), "x"}) {
        id.SetData(data, data ? 0 : 4);
        EXPECT_EQ(id.GetLength(), 0u);
        EXPECT_EQ(id.m_pData, nullptr);
    }
    // Left and right id, whether they are equal.
    const std::tuple<CId, CId, bool> pairs[] = {{CId(), CId(), true},
                                                {CId("abcd", 4), CId("abcd", 4), true},
                                                {CId("abcd", 4), CId("abcd", 3), false},
                                                {CId("abcd", 4), CId("abce", 4), false},
                                                {CId("a", 1), CId(), false}};
    for (const auto& [left, right, equal] : pairs) EXPECT_EQ(left.IsEqual(right), equal) << left.GetLength();
}

// Each record class is written with a new-class tag, schema 1 and its name, and read back by
// that name as a new object of its class that stores the same bytes again: every stored field
// comes back.
TEST(Archive, ObjectsGoThroughByClassName) {
    CMsg msg;
    Fill(msg);
    CId id("\x07\0\0\0", 4);
    CFolderId folder("Sent Items", "\x07\0\0\0", 4);
    const std::pair<const CObject*, std::string> cases[] = {
        {&msg, "CMsg"}, {&id, "CId"}, {&folder, "CFolderId"}};
    for (const auto& [object, name] : cases) {
        SCOPED_TRACE(name);
        CArchive out;
        out.WriteObject(*object);
        const std::string head = std::string("\xFF\xFF\x01\x00", 4) + char(name.size()) + '\0' + name;
        ASSERT_GT(out.Buffer().size(), head.size());
        EXPECT_EQ(Head(out.Buffer(), head.size()), head);
        CArchive in(out.Buffer());
        std::unique_ptr<CObject> loaded(in.ReadObject(&CObject::classCObject));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->GetRuntimeClass(), object->GetRuntimeClass());
        EXPECT_EQ(in.Remaining(), 0u);
        CArchive again;
        again.WriteObject(*loaded);
        EXPECT_EQ(again.Buffer(), out.Buffer());
    }
    CArchive plain;
    folder.Serialize(plain);
    EXPECT_EQ(plain.Buffer()[0], 10) << "the folder name's length first";
    EXPECT_TRUE(folder.IsKindOf(&CObject::classCObject));
    EXPECT_TRUE(folder.IsKindOf(&CFolderId::classCFolderId));
    EXPECT_FALSE(folder.IsKindOf(&CId::classCId)) << "its record names CObject as the base";
    EXPECT_TRUE(id.IsKindOf(&CId::classCId));
    EXPECT_FALSE(msg.IsKindOf(&CId::classCId));
}

// Little-endian numbers and counted strings; the second host word, the aux items and the raw
// date text are neither stored nor touched by a load. Schema 0 loads nothing.
TEST(Archive, CMsgStoresItsFieldsOnly) {
    CMsg msg;
    msg.m_id.SetData("\xAB\xCD", 2);
    msg.m_strFrom = "hi";
    msg.m_wHost2 = 99;
    msg.m_strDate = "kept";
    msg.SetAuxText("aux");
    CArchive wire;
    msg.Serialize(wire);
    const std::vector<uint8_t> expected = {
        2,    0,    0,    0,    0xAB, 0xCD,        // m_id
        0,    0,    0,    0,    0,    0,    0, 0,  // m_id2, m_id3
        0,    0,                                   // m_wHost1
        0,    0,    0,    0,    0,    0,    0, 0,  // m_dwHost1, m_tDate
        0,    0,    0,    0,    0,    0,    0, 0,  // m_dwHost2, m_dwPartial
        0x00, 0x04,                                // m_wFlags
        0x00, 0x00, 0x2A, 0x00,                    // m_dwFlags
        2,    'h',  'i',                           // m_strFrom
        0,    0,    0,    0,    0,    0,    0, 0,  // the other eight strings, empty
    };
    EXPECT_EQ(wire.Buffer(), expected);
    CArchive in(wire.Buffer());
    msg.m_strFrom.Empty();
    msg.Serialize(in);
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(msg.m_strFrom, "hi");
    EXPECT_EQ(msg.m_wHost2, 99);
    EXPECT_EQ(msg.m_strDate, "kept");
    EXPECT_STREQ(msg.m_pszAuxText, "aux");
    CArchive schemaZero(wire.Buffer());
    schemaZero.SetObjectSchema(0);
    CMsg().Serialize(schemaZero);
    EXPECT_EQ(schemaZero.Remaining(), expected.size());
}

// Counted strings: one length byte below 255, 0xFF and 16 bits below 65,534, then 0xFF 0xFFFF
// and 32 bits; each length reads back whole with nothing left over. An id whose bytes are cut
// short is left empty; an absurd length never allocates.
TEST(Archive, LengthFormsAndShortArchives) {
    const std::pair<int, std::string> cases[] = {{254, "\xFE"},
                                                 {255, std::string("\xFF\xFF\x00", 3)},
                                                 {256, std::string("\xFF\x00\x01", 3)},
                                                 {65533, "\xFF\xFD\xFF"},
                                                 {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
                                                 {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)}};
    for (const auto& [length, head] : cases) {
        SCOPED_TRACE(length);
        const CString text('q', length);
        CArchive out;
        out << text;
        ASSERT_EQ(out.Buffer().size(), head.size() + length);
        EXPECT_EQ(Head(out.Buffer(), head.size()), head);
        CArchive in(out.Buffer());
        CString back;
        in >> back;
        EXPECT_EQ(back, text);
        EXPECT_FALSE(in.IsFailed());
        EXPECT_EQ(in.Remaining(), 0u);
    }
    // Four bytes announced, three there; then a length near 2 GB.
    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{4, 0, 0, 0, 1, 2, 3}, {0xFF, 0xFF, 0xFF, 0x7F, 1}}) {
        CId id("zz", 2);
        CArchive in(bytes);
        id.Serialize(in);
        EXPECT_EQ(id.GetLength(), 0u);
        EXPECT_EQ(id.m_pData, nullptr);
    }
}

// A bare record is its head: the marker first, the default flags, the nine text pointers from 76
// (the head's other offsets are pinned by the conversion's own static checks), the rest zero.
TEST(MailMsgLayout, BareHeadThenItemsInOrder) {
    CMsg msg;
    EXPECT_EQ(msg.ToMailMsg(nullptr), MailMsgResult::NullOutput);
    EXPECT_EQ(FreeMailMsgRecord(nullptr), 211);
    EXPECT_EQ(msg.MailMsgSize(), 112u);
    Block block = Convert(msg);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(OffsetOf(block.get(), &(block.get()->*kTexts[i])), 76 + 4 * i) << i;
    const uint32_t* words = reinterpret_cast<const uint32_t*>(block.get());
    // The marker, flagWord (and its padding) and flags; every other word zero.
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(words[i], i == 0    ? 1u
                            : i == 17 ? 0x0400u
                            : i == 18 ? 0x002A0000u
                                      : 0u)
            << "offset " << 4 * i;
    // Ids (no NUL), the aux text and bytes, then the non-empty texts (each with its NUL) follow the
    // head in that order; empty items take no byte and leave their pointers null.
    msg.m_id.SetData("\x01\x02\x03\x04", 4);
    msg.m_id2.SetData("\xAA\xBB", 2);
    msg.SetAuxText("aux");
    msg.SetAuxData("\x05\x06\x07", 3);
    msg.m_strFrom = "a";
    msg.m_strTo = "t";
    msg.m_strCc = "c";
    msg.m_strSubject = "Hi";
    msg.m_strBody = "xy";
    const std::string tail(
        "\x01\x02\x03\x04\xAA\xBB"
        "aux\0\x05\x06\x07"
        "a\0t\0c\0Hi\0xy\0",
        25);
    ASSERT_EQ(msg.MailMsgSize(), 112 + tail.size());
    block = Convert(msg);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.get()) + 112, tail.size()), tail);
    const std::pair<const void*, int> placed[] = {
        {block->id, 112}, {block->id2, 116}, {block->auxText, 118}, {block->auxData, 122}, {block->from, 125},
        {block->to, 127}, {block->cc, 129},  {block->subject, 131}, {block->body, 134}};
    for (const auto& [pointer, offset] : placed) EXPECT_EQ(OffsetOf(block.get(), pointer), offset);
    EXPECT_EQ((std::vector{block->idLength, block->id2Length, block->auxDataLength, block->id3Length}),
              (std::vector{4u, 2u, 3u, 0u}));
    EXPECT_EQ((std::vector<const void*>{block->id3, block->bcc, block->attachments}),
              std::vector<const void*>(3, nullptr));
}

// Back from the host's block: partial and the aux text are dropped, everything else is kept.
// Null pointers and zero lengths in a host's block give empty fields.
TEST(MailMsgConversion, RoundTripKeepsHeadAndTextsButDropsPartialAndAux) {
    CMsg original;
    Fill(original);
    Block first = Convert(original);
    ASSERT_EQ(first->partial, 1u);
    Block second = Convert(CMsg(first.get()));
    EXPECT_EQ(second->partial, 0u);
    EXPECT_EQ(second->auxText, nullptr);
    // The numeric head (offsets 48 to 76) is identical once partial is cleared.
    first->partial = 0;
    EXPECT_EQ(std::memcmp(Base(first.get()) + 48, Base(second.get()) + 48, 28), 0);
    EXPECT_EQ((std::vector{second->idLength, second->id2Length, second->id3Length}),
              (std::vector{4u, 0u, 2u}));
    EXPECT_EQ(std::memcmp(second->id, "\x10\x20\x30\x40", 4), 0);
    EXPECT_EQ(std::memcmp(second->id3, "zz", 2), 0);
    for (auto text : kTexts) EXPECT_STREQ(second.get()->*text, first.get()->*text);

    MailMsg head{};
    head.idLength = 4;                                  // length without data
    head.id2 = reinterpret_cast<const uint8_t*>("ab");  // data without length
    head.flags = 0;
    CMsg sparse(&head);
    EXPECT_EQ(sparse.m_id.GetLength() + sparse.m_id2.GetLength(), 0u);
    EXPECT_TRUE(sparse.m_strFrom.IsEmpty());
    EXPECT_EQ(sparse.m_dwFlags, 0u) << "the record's flags replace the defaults";
}
