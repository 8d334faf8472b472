// Attachment file names: made safe, numbered on a clash, and shortened to fit the host's entries;
// when no file is written; the lists handed out for cached messages.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "session/attachment_files.h"
#include "session/message_id.h"
#include "session_script.h"

namespace {

// Only a harmless last component is kept, and no name a system reads as a device, a drive, a
// stream or a wildcard, or trims at its end.
TEST(SafeAttachmentName, KeepsOnlyAHarmlessLastComponent) {
    const std::pair<std::string, std::string> cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../etc/passwd", "passwd"},
        {"C:\\Users\\x\\evil.exe", "evil.exe"},
        {"mixed/dir\\name.txt", "name.txt"},
        {"..", "__"},
        {".", "_"},
        {"a..b", "a__b"},
        {"...txt", "__.txt"},
        {"dir/", "attachment"},
        {"", "attachment"},
        {" ", "attachment"},
        {"one,two.txt", "one_two.txt"},
        {"tab\there\x7f.txt", "tab_here_.txt"},
        {"nl\r\nx", "nl__x"},
        {"Caf\xe9 r\xe9sum\xe9.doc", "Caf\xe9 r\xe9sum\xe9.doc"},
        {"CON", "_CON"},
        {"aux.txt", "_aux.txt"},
        {"LPT1", "_LPT1"},
        {"com9.tar.gz", "_com9.tar.gz"},
        {"nul .txt", "_nul .txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"LPT10", "LPT10"},
        {"report.pdf. . ", "report.pdf"},
        {"name...", "name__"},
        {"x:stream.txt", "x_stream.txt"},
        {"what?*.txt", "what__.txt"},
        {"a<b>|\"c\".txt", "a_b___c_.txt"}};
    for (const auto& [given, safe] : cases)
        EXPECT_EQ(std::string(SafeAttachmentName(CString(given)).c_str()), safe) << given;
}

TEST(AttachmentCandidateName, NumbersBeforeTheFirstDotAndShortensTheStem) {
    // Name, counter, room, candidate.
    const std::string x50(50, 'x');
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"report.pdf", 0, 100, "report.pdf"},
        {"report.pdf", 1, 100, "report(1).pdf"},
        {"report.pdf", 12, 100, "report(12).pdf"},
        {"README", 2, 100, "README(2)"},
        {"archive.tar.gz", 1, 100, "archive(1).tar.gz"},
        {".profile", 1, 100, "(1).profile"},
        {x50 + ".pdf", 0, 20, std::string(16, 'x') + ".pdf"},
        {x50 + ".pdf", 3, 20, std::string(13, 'x') + "(3).pdf"},
        // An extension longer than half the room is not kept whole.
        {"a." + std::string(30, 'e'), 0, 20, "a." + std::string(18, 'e')},
        {"photo.of.the.day.jpeg", 0, 16, "photo.of.th.jpeg"},
        {"x", 0, 15, ""}};
    for (const auto& [name, counter, room, candidate] : cases) {
        const std::string got = AttachmentCandidateName(CString(name), counter, room).c_str();
        EXPECT_EQ(got, candidate) << name << " #" << counter << " in " << room;
    }
}

// Cached messages, no server: more than ten paths are cut to ten and the rest logged; every
// comma piece is an entry; a message without files gets no list.
TEST(CachedAttachments, TenPathsAtMostCommaPiecesAndNoFiles) {
    HostKit_Clear();
    ImapSession session;
    session.verbose = 2;
    session.folders.push_back(std::make_unique<FolderCache>("INBOX"));
    std::string joined = "/t/p1";
    for (int i = 2; i <= 12; ++i) joined += ",/t/p" + std::to_string(i);
    for (const auto& [uid, files] :
         {std::pair{5u, joined}, {1u, std::string(",a,,b")}, {2u, std::string()}}) {
        auto message = std::make_unique<CMsg>();
        SetUidId(message->m_id, uid);
        message->m_strAttachments = files.c_str();
        session.folders[0]->messages.push_back(std::move(message));
    }
    const UidRef five(5), one(1), two(2), three(3);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, five.bytes, &list, true), 0);
    ASSERT_NE(list, nullptr);
    std::string handed;
    std::vector<std::string> logged = {
        "The message contains more attachments than allowable. Removing attachments:\n/t/p11\n/t/p12"};
    for (int32_t i = 0; i < list->count; ++i) {
        handed += (i ? "," : "") + std::string(list->path[i]);
        logged.push_back("ATT: /t/p" + std::to_string(i + 1));
    }
    delete list;  // not through the release: these files do not exist
    EXPECT_EQ(handed, joined.substr(0, joined.find(",/t/p11")));
    EXPECT_EQ(scripted::JournalTexts(), logged);

    CStringArray names;
    ASSERT_TRUE(session.GetAttachmentNames(nullptr, 4, one.bytes, names));
    std::vector<std::string> got;
    for (int i = 0; i < names.GetSize(); ++i) got.push_back(Text(names[i]));
    EXPECT_EQ(got, (std::vector<std::string>{"", "a", "", "b"}));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 4, three.bytes, names));
    EXPECT_FALSE(session.GetAttachmentNames(nullptr, 3, one.bytes, names)) << "ids compare by length too";
    list = nullptr;
    EXPECT_EQ(session.GetAttachments(nullptr, 4, two.bytes, &list, true), 0);
    EXPECT_EQ(list, nullptr);
    const char* elsewhere = "Work";
    EXPECT_EQ(session.GetAttachments(&elsewhere, 4, two.bytes, &list, true), 2);
}

}  // namespace
