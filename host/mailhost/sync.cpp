#include "sync.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host_string.h"
#include "hostkit.h"

namespace fs = std::filesystem;

namespace {

// The plug-in's texts are in the ANSI code page (Windows-1252); the files are written in UTF-8.
std::string Text(const char* p) {
    static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                       0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (; p && *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const char16_t u = c < 0x80 ? c : c < 0xA0 ? kHigh[c - 0x80] : c;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string DateText(int32_t date) {
    const std::time_t value = date;
    std::tm parts{};
    gmtime_r(&value, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return buffer;
}

std::string SafeName(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\\' || c == '\0') c = '_';
    return name.empty() || name == "." || name == ".." ? "_" : name;
}

void WriteMessage(const fs::path& file, const MailMsg& msg) {
    std::ofstream out(file, std::ios::binary);
    out << "From: " << Text(msg.from) << "\nTo: " << Text(msg.to) << "\nCc: " << Text(msg.cc)
        << "\nReply-To: " << Text(msg.replyTo) << "\nSubject: " << Text(msg.subject)
        << "\nDate: " << DateText(msg.date) << "\nRead: " << ((msg.flags & ZQ_FLAG_READ) ? "yes" : "no")
        << "\nPartial: " << msg.partial << "\nAttachments: " << Text(msg.attachments) << "\n\n"
        << Text(msg.body);
}

void SyncFolder(const PluginLibrary& plugin, const char* name, const fs::path& dir, SyncTotals& totals) {
    MailMsg** ids = nullptr;
    uint32_t count = 0;
    const int32_t listed = plugin.GetMsgIds(&name, &ids, &count);
    std::printf("  %-20s ", name);
    if (listed != 0) {
        std::printf("listing failed (%d)\n", listed);
        ++totals.failures;
        return;
    }
    std::printf("%u message(s)\n", count);
    if (count == 0) return;
    fs::create_directories(dir);
    for (uint32_t i = 0; i < count; ++i) {
        if (!ids[i] || ids[i]->idLength < 4) continue;
        const MessageIdRef id{ids[i]->idLength, ids[i]->id};
        uint32_t uid = 0;
        std::memcpy(&uid, id.data, 4);
        MailMsg* msg = nullptr;
        const int32_t got = plugin.GetMsg(&name, &id, &msg);
        if (got != 0 || !msg) {
            std::printf("    uid %u: download failed (%d)\n", uid, got);
            ++totals.failures;
            continue;
        }
        WriteMessage(dir / (std::to_string(uid) + ".txt"), *msg);
        ++totals.messages;
        AttachmentList* list = nullptr;
        if (plugin.GetMessageAttachment(&name, id.length, id.data, &list) == 0 && list) {
            const fs::path target = dir / (std::to_string(uid) + "-attachments");
            fs::create_directories(target);
            for (int a = 0; a < list->count && a < ZQ_MAX_ATTACHMENTS; ++a) {
                const fs::path source(list->path[a]);
                std::error_code ec;
                fs::copy_file(source, target / source.filename(), fs::copy_options::overwrite_existing, ec);
                if (!ec) ++totals.attachments;
            }
            plugin.FreeAttachment(&list);
        }
        PluginLibrary::FreeRecord(msg);
    }
    plugin.FreeMailMsg(ids, static_cast<int32_t>(count));
}

}  // namespace

int RunSync(const PluginLibrary& plugin, const Options& o, SyncTotals& totals) {
    const HostString empty(""), server(o.server), user(o.user), password(o.password), sent(o.sentFolder),
        display(o.user), logText("mailhost");
    const char* e = empty.c_str();
    const LogonParameters params{server.c_str(),
                                 server.c_str(),
                                 o.imapPort,
                                 o.smtpPort,
                                 0,
                                 e,
                                 -1,
                                 user.c_str(),
                                 password.c_str(),
                                 sent.c_str(),
                                 display.c_str(),
                                 o.attachments ? 1 : 0,
                                 o.preferHtml ? 1 : 0,
                                 o.unreadOnly ? 1 : 0,
                                 o.daysBack,
                                 1,
                                 o.smtpPort >= 0 ? 1 : 0,
                                 0,
                                 o.maxMessageSize,
                                 o.smtpPort >= 0 ? 1 : 0,
                                 user.c_str(),
                                 password.c_str(),
                                 logText.c_str(),
                                 e};
    plugin.Initialize();
    const int32_t logon =
        plugin.Logon(&params, ZQ_LOGON_SYNC_LOG_ON_FAILURE | (o.verbose ? ZQ_LOGON_VERBOSE : 0), nullptr);
    if (logon != 0) {
        std::fprintf(stderr, "mailhost: logon to %s:%d as %s failed (%d)\n", o.server.c_str(), o.imapPort,
                     o.user.c_str(), logon);
        for (int i = 0; i < HostKit_CallCount(); ++i)
            if (std::string(HostKit_Call(i)->function) == "Ordinal_52")
                std::fprintf(stderr, "  sync log: %s\n", HostKit_Call(i)->text);
        plugin.Uninitialize();
        return 2;
    }
    FolderEntry** folders = nullptr;
    uint32_t folderCount = 0;
    const int32_t listed = plugin.GetFolderList(&folders, &folderCount);
    if (listed != 0) {
        std::fprintf(stderr, "mailhost: no folder list (%d): the IMAP connection is not usable\n", listed);
        plugin.Uninitialize();
        return 3;
    }
    fs::create_directories(o.outDir);
    std::ofstream index(fs::path(o.outDir) / "folders.txt");
    std::printf("%u folder(s):\n", folderCount);
    for (uint32_t i = 0; i < folderCount; ++i) {
        index << folders[i]->name << '\t' << folders[i]->kind << '\n';
        SyncFolder(plugin, folders[i]->name, fs::path(o.outDir) / SafeName(folders[i]->name), totals);
        ++totals.folders;
    }
    plugin.FreeFolderList(folders, static_cast<int32_t>(folderCount));
    plugin.Logoff();
    plugin.Uninitialize();
    return totals.failures ? 1 : 0;
}
