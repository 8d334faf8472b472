// mark-read, mark-unread, move, copy, delete, expunge and append: commands that change what
// the server holds.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "records.h"

namespace {

// The UIDs among the arguments, from `first` up to the last but `dropAtEnd`.
bool Uids(Context& c, size_t first, size_t dropAtEnd, std::vector<uint32_t>& uids) {
    const auto& a = c.line.arguments;
    const size_t last = a.size() - dropAtEnd;
    for (size_t i = first; i < last; ++i) {
        const uint32_t uid = ParseUid(c, a[i]);
        if (!uid) return false;
        uids.push_back(uid);
    }
    return true;
}

std::string Call(const std::string& folder, uint32_t uid) {
    return Quoted(folder) + ", " + std::to_string(uid);
}

// IMAP4Commit expunges the selected folder: select it first so that it is the right one.
bool Expunge(Context& c, const std::string& folder) {
    return c.out.Call("IMAP4SelectFolder", Quoted(folder), c.plugin.IMAP4SelectFolder(folder.c_str())) == 0 &&
           c.out.Call("IMAP4Commit", "", c.plugin.IMAP4Commit()) == 0;
}

int Mark(Context& c, bool seen) {
    const std::string& folder = c.line.arguments[0];
    std::vector<uint32_t> uids;
    if (!Uids(c, 1, 0, uids)) return kExitUsage;
    if (!RequireUids(c, folder, uids)) return kExitFailed;
    int status = kExitOk;
    for (const uint32_t uid : uids) {
        int32_t code;
        if (c.line.Has("--imap4")) {
            code = c.out.Call("IMAP4SetSeenFlag", Call(folder, uid) + ", " + (seen ? "1" : "0"),
                              c.plugin.IMAP4SetSeenFlag(folder.c_str(), uid, seen));
        } else {
            const char* name = folder.c_str();
            const HostMessage record(uid);
            code = c.out.Call("SetMsgReadStatus", Call(folder, uid) + ", " + (seen ? "1" : "0"),
                              c.plugin.SetMsgReadStatus(&name, record.get(), seen));
        }
        if (code) status = kExitFailed;
    }
    return status;
}

// Copies with IMAP4CopyMessage, which also flags each original deleted; `move` expunges them.
int Transfer(Context& c, bool expunge) {
    const std::string& folder = c.line.arguments.front();
    const std::string& target = c.line.arguments.back();
    std::vector<uint32_t> uids;
    if (!Uids(c, 1, 1, uids)) return kExitUsage;
    if (!RequireUids(c, folder, uids)) return kExitFailed;
    int status = kExitOk;
    for (const uint32_t uid : uids) {
        const int32_t code = c.plugin.IMAP4CopyMessage(uid, folder.c_str(), target.c_str());
        if (c.out.Call("IMAP4CopyMessage",
                       std::to_string(uid) + ", " + Quoted(folder) + ", " + Quoted(target), code))
            status = kExitFailed;
    }
    if (expunge && !Expunge(c, folder)) status = kExitFailed;
    if (!expunge)
        c.out.Line("the original(s) stay in " + folder +
                   ", flagged deleted and no longer listed, until `mailhost expunge " + folder + "`");
    return status;
}

}  // namespace

int RunMarkRead(Context& c) { return Mark(c, true); }
int RunMarkUnread(Context& c) { return Mark(c, false); }
int RunMove(Context& c) { return Transfer(c, true); }
int RunCopy(Context& c) { return Transfer(c, false); }

int RunDelete(Context& c) {
    const std::string& folder = c.line.arguments[0];
    std::vector<uint32_t> uids;
    if (!Uids(c, 1, 0, uids)) return kExitUsage;
    if (!RequireUids(c, folder, uids)) return kExitFailed;
    int status = kExitOk;
    const char* name = folder.c_str();
    for (const uint32_t uid : uids) {
        const HostMessage record(uid);
        if (c.out.Call("DeleteMsg", Call(folder, uid), c.plugin.DeleteMsg(&name, record.get())))
            status = kExitFailed;
    }
    if (!c.line.Has("--keep") && !Expunge(c, folder)) status = kExitFailed;
    return status;
}

int RunExpunge(Context& c) { return Expunge(c, c.line.arguments[0]) ? kExitOk : kExitFailed; }

int RunAppend(Context& c) {
    const std::string& folder = c.line.arguments[0];
    const std::string& file = c.line.arguments[1];
    std::string raw;
    if (file == "-") {
        raw.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            c.out.Error("cannot read " + file);
            return kExitFiles;
        }
        raw = text.str();
    }
    // The module sends the text as it is: IMAP wants CR LF line ends.
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) text += '\r';
        text += raw[i];
    }
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    const int32_t code = c.plugin.IMAP4Append(folder.c_str(), text.c_str());
    return c.out.Call("IMAP4Append", Quoted(folder) + ", " + std::to_string(text.size()) + " bytes", code)
               ? kExitFailed
               : kExitOk;
}
