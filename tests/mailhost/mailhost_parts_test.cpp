// mailhost's pieces that need no server: what it hands the module and what it shows people.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "json.h"
#include "records.h"
#include "results.h"
#include "text.h"

using Pairs = std::pair<std::string, std::string>[];

TEST(MailhostText, ModuleTextsBecomeUtf8AndUtf8BecomesTheModulesCodePage) {
    for (const auto& [host, utf8] : Pairs{{"Gr\374\337e", "Grüße"},         // Windows-1252 header text
                                          {"\x80 5 \x93q\x94", "€ 5 “q”"},  // the 0x80-0x9F range
                                          {"caf\xC3\xA9", "café"},          // a body already in UTF-8 stays
                                          {"", ""}})
        EXPECT_EQ(Utf8FromHost(host.c_str()), utf8);
    EXPECT_EQ(Utf8FromHost(nullptr), "");
    for (const auto& [utf8, host] : Pairs{{"Grüße", "Gr\374\337e"},
                                          {"€ “q”", "\x80 \x93q\x94"},
                                          {"日本", "??"},             // not in the code page
                                          {"\xFF\xFE", "\xFF\xFE"}})  // not UTF-8: passed on
        EXPECT_EQ(HostFromUtf8(utf8), host) << utf8;
}

TEST(MailhostText, DisplayHelpers) {
    EXPECT_EQ(DisplayWidth("Grüße"), 5u);
    EXPECT_EQ(Clip("Grüße aus", 5), "Grüß\xE2\x80\xA6");
    EXPECT_EQ(Clip("Grüße", 5), "Grüße");
    for (const auto& [from, name] : Pairs{{"\"Bob Example\" <bob@example.test>", "Bob Example"},
                                          {"<bob@example.test>", "bob@example.test"},
                                          {"bob@example.test", "bob@example.test"}})
        EXPECT_EQ(SenderName(from), name);
    using Sizes = std::pair<uint64_t, const char*>[];
    for (const auto& [bytes, text] :
         Sizes{{0, "0 B"}, {1023, "1023 B"}, {1536, "1.5 KB"}, {3u << 20, "3.0 MB"}})
        EXPECT_EQ(FormatSize(bytes), text);
    for (const auto& [name, safe] :
         Pairs{{"a/b\\c:d", "a_b_c_d"}, {"..", "_"}, {"", "_"}, {"tab\there", "tab_here"}})
        EXPECT_EQ(SafeFileName(name), safe);
    EXPECT_EQ(IsoUtcText(1796397600), "2026-12-04T15:20:00Z");
}

TEST(MailhostJson, NestedValuesIndentedAndStringsEscaped) {
    JsonWriter json;
    json.BeginObject().Field("text", std::string("a\"b\\c\n\x01")).Field("n", -3).Field("ok", true);
    json.Key("empty").BeginArray().EndArray().Key("list").BeginArray().Number(1).BeginObject().EndObject();
    json.EndArray().Key("none").Null().EndObject();
    EXPECT_EQ(json.Text(),
              "{\n  \"text\": \"a\\\"b\\\\c\\n\\u0001\",\n  \"n\": -3,\n  \"ok\": true,\n  \"empty\": [],\n"
              "  \"list\": [\n    1,\n    {}\n  ],\n  \"none\": null\n}\n");
}

// The block a host builds: the 112-byte head, then the id and the texts in head order; its JSON.
TEST(MailhostRecords, HostMessageLayout) {
    const HostMessage message(7, {.from = "a", .subject = "s", .attachments = "/x,/y"});
    const MailMsg& r = *message.get();
    const auto* base = reinterpret_cast<const char*>(&r);
    ASSERT_EQ(r.idLength, 4u);
    EXPECT_EQ(reinterpret_cast<const char*>(r.id), base + 112);
    EXPECT_EQ(r.from, base + 116);
    EXPECT_EQ(r.subject, base + 118);
    EXPECT_EQ(r.attachments, base + 120);
    EXPECT_EQ(r.to, nullptr);
    EXPECT_EQ(r.body, nullptr);
    EXPECT_EQ(HostMessage(0).get()->idLength, 0u);

    JsonWriter json;
    json.BeginObject();
    WriteRecordJson(json, r);
    json.EndObject();
    for (const char* field : {"\"uid\": 7,\n  \"marker\": 1,\n  \"id\": \"07000000\"",
                              "\"flagWord\": 1024,\n  \"flags\": 2752512", "\"read\": false",
                              "\"attachments\": [\n    \"/x\",\n    \"/y\"\n  ]"})
        EXPECT_NE(json.Text().find(field), std::string::npos) << field << json.Text();
}

TEST(MailhostResults, OneCodeMeansWhatItsExportSays) {
    const std::tuple<const char*, int32_t, const char*> rows[] = {
        {"IMAP4AddFolder", 0, "0 (done)"},
        {"GetMsgIds", -1, "-1 (not logged on)"},
        {"IMAP4AddFolder", 16, "16 (the server refused CREATE or RENAME"},
        {"GetFolderList", 16, "16 (out of memory)"},
        {"IMAP4Commit", 16, "16 (the server refused EXPUNGE)"},
        {"IMAP4CopyMessage", 12, "12 (a folder is not in the server's folder list)"},
        {"IMAP4RenameFolder", 12, "12 (the folder is not in the server's folder list)"},
        {"SendMsg", 212, "212 (sending failed"},
        {"Logon", 16394, "16394 (logon failed"},
        {"DeleteMsg", 12, "12 (an unexpected result code)"},
    };
    for (const auto& [name, code, text] : rows)
        EXPECT_EQ(CodeText(name, code).rfind(text, 0), 0u) << CodeText(name, code);
}
