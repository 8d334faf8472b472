// The internal records: defaults, identifiers, run-time classes and archive round trips.
#include <gtest/gtest.h>

#include <memory>

#include "records/archive.h"
#include "records/cmsg.h"

TEST(CMsgRecord, DefaultsAreTheHostsDefaults) {
    CMsg msg;
    EXPECT_EQ(msg.m_wFlags, 0x0400);
    EXPECT_EQ(msg.m_dwFlags, 0x002A0000u);
    EXPECT_EQ(msg.m_dwPartial, 0u);
    EXPECT_EQ(msg.m_tDate.GetTime(), 0);
    EXPECT_EQ(msg.m_id.GetLength(), 0u);
    EXPECT_TRUE(msg.m_strBody.IsEmpty());
}

TEST(CIdRecord, SetDataCopiesWithTenSpareZeros) {
    CId id;
    id.SetData("\x01\x02\x03\x04", 4);
    ASSERT_EQ(id.GetLength(), 4u);
    EXPECT_EQ(id.Uid(), 0x04030201u);
    for (int i = 4; i < 14; ++i) EXPECT_EQ(id.m_pData[i], 0) << i;
    id.SetData(nullptr, 4);
    EXPECT_EQ(id.GetLength(), 0u);
    EXPECT_EQ(id.m_pData, nullptr);
    id.SetData("x", 0);
    EXPECT_EQ(id.m_pData, nullptr);
    CId self("\x09\x08", 2);
    self.SetData(self.m_pData, self.m_nLength);  // aliasing its own bytes
    EXPECT_EQ(self.Uid(), 0u);
    EXPECT_EQ(self.GetLength(), 2u);
    EXPECT_EQ(self.m_pData[1], 0x08);
}

TEST(CIdRecord, IsEqualComparesLengthAndBytes) {
    EXPECT_TRUE(CId().IsEqual(CId()));
    EXPECT_TRUE(CId("abcd", 4).IsEqual(CId("abcd", 4)));
    EXPECT_FALSE(CId("abcd", 4).IsEqual(CId("abcd", 3)));
    EXPECT_FALSE(CId("abcd", 4).IsEqual(CId("abce", 4)));
    EXPECT_FALSE(CId("a", 1).IsEqual(CId()));
}

TEST(RuntimeClasses, NamesSchemasCreationAndKindOf) {
    EXPECT_STREQ(CMsg::classCMsg.m_lpszClassName, "CMsg");
    EXPECT_EQ(CMsg::classCMsg.m_wSchema, 1u);
    EXPECT_EQ(CId::classCId.m_wSchema, 1u);
    EXPECT_EQ(CFolderId::classCFolderId.m_wSchema, 1u);
    CFolderId folder("Inbox", "ab", 2);
    EXPECT_TRUE(folder.IsKindOf(&CObject::classCObject));
    EXPECT_TRUE(folder.IsKindOf(&CFolderId::classCFolderId));
    EXPECT_FALSE(folder.IsKindOf(&CId::classCId)) << "its record names CObject as the base";
    EXPECT_TRUE(CId().IsKindOf(&CId::classCId));
    EXPECT_FALSE(CMsg().IsKindOf(&CId::classCId));
    for (const char* name : {"CMsg", "CId", "CFolderId"}) {
        const CRuntimeClass* cls = CRuntimeClass::FromName(name);
        ASSERT_NE(cls, nullptr) << name << " registered at load";
        std::unique_ptr<CObject> object(cls->CreateObject());
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->GetRuntimeClass(), cls);
    }
}

namespace {
void FillForArchive(CMsg& msg) {
    msg.m_id.SetData("\x05\x00\x00\x00", 4);
    msg.m_id2.SetData("two", 3);
    msg.m_wHost1 = 11;
    msg.m_dwHost1 = 22;
    msg.m_wHost2 = 33;
    msg.m_tDate = CTime(1234567890);
    msg.m_dwHost2 = 44;
    msg.m_dwPartial = 1;
    msg.m_wFlags = 0x0801;
    msg.m_dwFlags = 0x82000000;
    msg.m_strFrom = "from";
    msg.m_strTo = "to";
    msg.m_strSubject = CString('s', 300);  // past the one-byte length form
    msg.m_strBody = CString('b', 70000);   // past the 16-bit length form
    msg.m_strAttachments = "/tmp/x";
    msg.m_strDate = "Mon, 1 Jan 2024";
}
}  // namespace

TEST(Serialization, CMsgRoundTripRestoresStoredFieldsOnly) {
    CMsg original;
    FillForArchive(original);
    CArchive out;
    original.Serialize(out);

    CMsg loaded;
    loaded.m_wHost2 = 99;
    loaded.m_strDate = "kept";
    CArchive in(out.Buffer());
    loaded.Serialize(in);
    EXPECT_FALSE(in.IsFailed());
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_TRUE(loaded.m_id.IsEqual(original.m_id));
    EXPECT_TRUE(loaded.m_id2.IsEqual(original.m_id2));
    EXPECT_EQ(loaded.m_wHost1, 11);
    EXPECT_EQ(loaded.m_dwHost1, 22u);
    EXPECT_EQ(loaded.m_tDate.GetTime(), 1234567890);
    EXPECT_EQ(loaded.m_dwHost2, 44u);
    EXPECT_EQ(loaded.m_dwPartial, 1u);
    EXPECT_EQ(loaded.m_wFlags, 0x0801);
    EXPECT_EQ(loaded.m_dwFlags, 0x82000000u);
    EXPECT_EQ(loaded.m_strSubject, original.m_strSubject);
    EXPECT_EQ(loaded.m_strBody, original.m_strBody);
    EXPECT_EQ(loaded.m_strAttachments, "/tmp/x");
    EXPECT_EQ(loaded.m_wHost2, 99) << "not stored";
    EXPECT_EQ(loaded.m_strDate, "kept") << "not stored";
}

TEST(Serialization, WireFormatIsLittleEndianWithCountedStrings) {
    CMsg msg;
    msg.m_id.SetData("\xAB\xCD", 2);
    msg.m_strFrom = "hi";
    CArchive out;
    msg.Serialize(out);
    const std::vector<uint8_t> expected = {
        2, 0, 0, 0, 0xAB, 0xCD,         // m_id
        0, 0, 0, 0, 0, 0, 0, 0,         // m_id2, m_id3
        0, 0,                           // m_wHost1
        0, 0, 0, 0, 0, 0, 0, 0,         // m_dwHost1, m_tDate
        0, 0, 0, 0, 0, 0, 0, 0,         // m_dwHost2, m_dwPartial
        0x00, 0x04,                     // m_wFlags
        0x00, 0x00, 0x2A, 0x00,         // m_dwFlags
        2, 'h', 'i',                    // m_strFrom
        0, 0, 0, 0, 0, 0, 0, 0,         // the other eight strings, empty
    };
    EXPECT_EQ(out.Buffer(), expected);
}

TEST(Serialization, SchemaZeroLoadsNothing) {
    CMsg original;
    FillForArchive(original);
    CArchive out;
    original.Serialize(out);
    CMsg loaded;
    CArchive in(out.Buffer());
    in.SetObjectSchema(0);
    loaded.Serialize(in);
    EXPECT_EQ(in.Remaining(), out.Buffer().size());
    EXPECT_EQ(loaded.m_id.GetLength(), 0u);
    EXPECT_TRUE(loaded.m_strFrom.IsEmpty());
}

TEST(Serialization, LoadedIdHasNoSpareBytesAndShortArchivesLeaveItEmpty) {
    CArchive out;
    CId("\x01\x02\x03\x04", 4).Serialize(out);
    CId loaded("zz", 2);
    CArchive in(out.Buffer());
    loaded.Serialize(in);
    EXPECT_EQ(loaded.Uid(), 0x04030201u);

    std::vector<uint8_t> truncated = out.Buffer();
    truncated.pop_back();
    CId shortId("zz", 2);
    CArchive shortIn(truncated);
    shortId.Serialize(shortIn);
    EXPECT_EQ(shortId.GetLength(), 0u);
    EXPECT_EQ(shortId.m_pData, nullptr);

    // An absurd length never allocates.
    CArchive hostile(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 1});
    CId huge;
    huge.Serialize(hostile);
    EXPECT_EQ(huge.GetLength(), 0u);
}

TEST(Serialization, ObjectsAreFoundByClassNameAndFolderNameComesFirst) {
    CFolderId folder("Sent Items", "\x07\0\0\0", 4);
    CArchive out;
    out.WriteObject(folder);
    CArchive in(out.Buffer());
    std::unique_ptr<CObject> object(in.ReadObject(&CObject::classCObject));
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->GetRuntimeClass(), &CFolderId::classCFolderId);
    auto* loaded = static_cast<CFolderId*>(object.get());
    EXPECT_EQ(loaded->m_strName, "Sent Items");
    EXPECT_EQ(loaded->Uid(), 7u);

    CArchive plain;
    folder.Serialize(plain);
    EXPECT_EQ(plain.Buffer()[0], 10) << "name length first";
}
