// send: a message built by the host, handed to SendMsg, which sends it over SMTP and files the
// sent text in the sent-mail folder; mailhost then looks for that copy.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "message_files.h"
#include "records.h"
#include "system.h"
#include "text.h"

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ";") + item;
    return out;
}

bool ReadBody(Context& c, std::string& body) {
    const std::string file = c.line.Value("--body");
    if (file.empty() && hostos::IsTerminal(stdin)) {
        c.out.Error("give the body with --body FILE, or on standard input (--body - reads it too)");
        return false;
    }
    if (file.empty() || file == "-") {
        body.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        c.out.Error("cannot read the body file " + file);
        return false;
    }
    body = text.str();
    return true;
}

// The module reads attachments by path and splits its list at commas.
bool AttachmentPaths(Context& c, std::string& list) {
    for (const std::string& given : c.line.Values("--attach")) {
        std::error_code ec;
        const fs::path path = fs::absolute(given, ec);
        std::ifstream probe(path, std::ios::binary);
        if (ec || !fs::is_regular_file(path, ec) || !probe) {
            c.out.Error("cannot read the attachment " + given);
            return false;
        }
        if (path.string().find(',') != std::string::npos) {
            c.out.Error("the attachment path " + path.string() +
                        " holds a comma, which the module cannot take");
            return false;
        }
        list += (list.empty() ? "" : ",") + path.string();
    }
    return true;
}

// The sent-mail folder as the server lists it, or "" when there is none.
std::string SentFolder(Context& c) {
    const std::string& wanted = c.options.sentFolder;
    std::vector<FolderInfo> folders;
    if (wanted.empty() || !ListFolders(c, folders)) return "";
    for (const FolderInfo& f : folders) {
        if (f.name.size() != wanted.size()) continue;
        bool same = true;
        for (size_t i = 0; i < wanted.size(); ++i)
            same &= std::tolower(static_cast<unsigned char>(f.name[i])) ==
                    std::tolower(static_cast<unsigned char>(wanted[i]));
        if (same) return f.name;
    }
    return "";
}

}  // namespace

int RunSend(Context& c) {
    const CommandLine& l = c.line;
    HostMessage::Texts t;
    const std::string from =
        l.Value("--from", c.options.user.find('@') != std::string::npos ? c.options.user : "");
    if (from.empty() || (l.Values("--to").empty() && l.Values("--cc").empty() && l.Values("--bcc").empty())) {
        c.out.Error(
            "send needs --from ADDRESS (unless --user is an address) and at least one --to, --cc or --bcc");
        return kExitUsage;
    }
    std::string body;
    if (!ReadBody(c, body)) return kExitFiles;
    if (!AttachmentPaths(c, t.attachments)) return kExitFiles;
    t.from = HostFromUtf8(from);
    t.to = HostFromUtf8(Joined(l.Values("--to")));
    t.cc = HostFromUtf8(Joined(l.Values("--cc")));
    t.bcc = HostFromUtf8(Joined(l.Values("--bcc")));
    t.subject = HostFromUtf8(l.Value("--subject"));
    t.body = HostFromUtf8(body);
    if (!c.options.attachments && !t.attachments.empty())
        c.out.Line("--no-attachments: the module sends a note in place of the attachments");

    const std::string sent = SentFolder(c);
    std::vector<std::pair<uint32_t, bool>> before;
    if (!sent.empty()) ListUids(c, sent, before);
    if (!c.out.json() && hostos::IsTerminal(stderr))
        std::fprintf(stderr,
                     "sending through %s:%d (every SMTP reply ends on the module's 3-second pause)...\n",
                     c.options.smtpServer.c_str(), c.options.smtpPort);
    const HostMessage message(0, t);
    const int32_t code = c.plugin.SendMsg(message.get());
    c.out.Call("SendMsg", from + " -> " + Joined(l.Values("--to")) + ", " + Quoted(l.Value("--subject")),
               code);
    if (code != 0) return kExitFailed;

    // The copy is the newest message of the sent-mail folder that carries our subject.
    uint32_t copy = 0;
    std::vector<std::pair<uint32_t, bool>> after;
    // The module keeps the message count of the selected folder from its last SELECT, and its
    // APPEND does not renew it: selecting another folder first makes the listing select the
    // sent-mail folder afresh.
    if (!sent.empty())
        c.out.Call("IMAP4SelectFolder", Quoted("INBOX"), c.plugin.IMAP4SelectFolder("INBOX"), false);
    if (!sent.empty() && ListUids(c, sent, after)) {
        for (auto it = after.rbegin(); it != after.rend() && !copy; ++it) {
            bool old = false;
            for (const auto& b : before) old |= b.first == it->first;
            if (old) continue;
            FetchedMessage filed(c, sent, it->first);
            if (filed.record() && Utf8FromHost(filed.record()->subject) == Utf8FromHost(t.subject.c_str()))
                copy = it->first;
        }
    }
    if (c.out.json()) {
        c.out.Json().Field("sentFolder", sent).Key("sentCopyUid");
        copy ? c.out.Json().Number(copy) : c.out.Json().Null();
    } else if (copy) {
        c.out.Line("copy filed in " + sent + " as UID " + std::to_string(copy));
    }
    if (copy) return kExitOk;
    // The module counts the message as sent whether or not its copy was filed.
    const std::string& wanted = c.options.sentFolder;
    if (wanted.empty())
        c.out.Warning("no sent-mail folder given (--sent-folder): no copy kept");
    else if (sent.empty())
        c.out.Warning("there is no folder " + wanted + ": no copy kept (`mailhost folder create " + wanted +
                      "`)");
    else
        c.out.Warning("no copy of the message appeared in " + sent);
    return kExitOk;
}
