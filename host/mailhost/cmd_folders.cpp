// info, folders, and folder create|rename|delete.
#include <algorithm>
#include <cctype>

#include "commands.h"
#include "records.h"

namespace {

bool SameName(std::string a, std::string b) {
    auto lower = [](std::string& s) {
        for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    };
    lower(a);
    lower(b);
    return a == b;
}

// GetFolderList offers only names of up to 15 characters; a longer one cannot be checked.
bool FolderMissing(Context& c, const std::string& name) {
    std::vector<FolderInfo> folders;
    if (name.size() > 15 || !ListFolders(c, folders)) return false;
    for (const FolderInfo& f : folders)
        if (SameName(f.name, name)) return false;
    c.out.Error("no folder " + name + " (see `mailhost folders`)");
    return true;
}

int DeleteFolder(Context& c, const std::string& name) {
    const std::string target = c.line.Value("--move-to");
    if (FolderMissing(c, name) || (!target.empty() && FolderMissing(c, target))) return kExitFailed;
    if (!target.empty()) {
        // Move every message first, and delete nothing unless all of them arrived.
        std::vector<std::pair<uint32_t, bool>> uids;
        if (!ListUids(c, name, uids)) return kExitFailed;
        for (const auto& [uid, read] : uids) {
            const int32_t code = c.plugin.IMAP4CopyMessage(uid, name.c_str(), target.c_str());
            if (c.out.Call("IMAP4CopyMessage",
                           std::to_string(uid) + ", " + Quoted(name) + ", " + Quoted(target), code))
                return kExitFailed;
        }
        if (!uids.empty() &&
            (c.out.Call("IMAP4SelectFolder", Quoted(name), c.plugin.IMAP4SelectFolder(name.c_str())) ||
             c.out.Call("IMAP4Commit", "", c.plugin.IMAP4Commit())))
            return kExitFailed;
    }
    return c.out.Call("IMAP4DeleteFolder", Quoted(name), c.plugin.IMAP4DeleteFolder(name.c_str()))
               ? kExitFailed
               : kExitOk;
}

}  // namespace

int RunInfo(Context& c) {
    const bool partial = c.plugin.HostSupportsPartialMessages() != 0;
    c.out.Call("SetMsg", "", c.plugin.SetMsg(nullptr));
    c.out.Call("SetMsgPriority", "", c.plugin.SetMsgPriority(nullptr, nullptr, nullptr));
    if (c.out.json()) {
        c.out.Json()
            .Field("plugin", c.options.plugin)
            .Field("exports", PluginLibrary::ExportCount())
            .Field("partialMessages", partial);
    } else {
        c.out.Line("plug-in:  " + c.options.plugin);
        c.out.Line("exports:  all " + std::to_string(PluginLibrary::ExportCount()) + " resolved");
        c.out.Line(std::string("partial messages: ") + (partial ? "supported" : "not supported") +
                   " (HostSupportsPartialMessages)");
        c.out.Line("SetMsg and SetMsgPriority only show a message box (its text goes to standard error).");
    }
    return kExitOk;
}

int RunFolders(Context& c) {
    std::vector<FolderInfo> folders;
    if (!ListFolders(c, folders)) return kExitFailed;
    if (c.out.json()) {
        c.out.Json().Key("folders").BeginArray();
        for (const FolderInfo& f : folders)
            c.out.Json().BeginObject().Field("name", f.name).Field("kind", KindName(f.kind)).EndObject();
        c.out.Json().EndArray();
        return kExitOk;
    }
    Table table({{"FOLDER", 0, false}, {"KIND", 0, false}});
    for (const FolderInfo& f : folders) table.Add({f.name, KindName(f.kind)});
    table.Print(stdout);
    return kExitOk;
}

int RunFolder(Context& c) {
    const std::vector<std::string>& a = c.line.arguments;
    const std::string& action = a[0];
    const size_t wanted = action == "rename" ? 3 : 2;
    if ((action != "create" && action != "rename" && action != "delete") || a.size() != wanted ||
        (action != "delete" && c.line.Has("--move-to"))) {
        c.out.Error("usage: mailhost folder create NAME | rename OLD NEW | delete NAME [--move-to FOLDER]");
        return kExitUsage;
    }
    if (action == "create")
        return c.out.Call("IMAP4AddFolder", Quoted(a[1]), c.plugin.IMAP4AddFolder(a[1].c_str())) ? kExitFailed
                                                                                                 : kExitOk;
    if (action == "rename") {
        if (FolderMissing(c, a[1])) return kExitFailed;
        const int32_t code = c.plugin.IMAP4RenameFolder(a[1].c_str(), a[2].c_str());
        return c.out.Call("IMAP4RenameFolder", Quoted(a[1]) + ", " + Quoted(a[2]), code) ? kExitFailed
                                                                                         : kExitOk;
    }
    return DeleteFolder(c, a[1]);
}
