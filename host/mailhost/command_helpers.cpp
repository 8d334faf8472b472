// Look-ups several commands share: UIDs from the command line, the folder list, the UIDs of a folder.
#include <cstdlib>

#include "commands.h"
#include "records.h"

uint32_t ParseUid(Context& c, const std::string& text) {
    char* end = nullptr;
    const unsigned long long uid = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || text[0] == '-' || uid == 0 || uid > 0xFFFFFFFFull) {
        c.out.Error("'" + text + "' is not a message UID (a positive number, as `mailhost list` shows)");
        return 0;
    }
    return static_cast<uint32_t>(uid);
}

bool ListFolders(Context& c, std::vector<FolderInfo>& folders) {
    FolderList list(c.plugin);
    if (c.out.Call("GetFolderList", "", c.plugin.GetFolderList(&list.items, &list.count), false) != 0)
        return false;
    for (uint32_t i = 0; i < list.count; ++i) folders.push_back({list.items[i]->name, list.items[i]->kind});
    return true;
}

bool ListUids(Context& c, const std::string& folder, std::vector<std::pair<uint32_t, bool>>& uids) {
    const char* name = folder.c_str();
    RecordArray ids(c.plugin);
    if (c.out.Call("GetMsgIds", Quoted(folder), c.plugin.GetMsgIds(&name, &ids.items, &ids.count), false) !=
        0)
        return false;
    for (uint32_t i = 0; i < ids.count; ++i)
        uids.emplace_back(UidOf(*ids.items[i]), (ids.items[i]->flags & ZQ_FLAG_READ) != 0);
    return true;
}

bool RequireUids(Context& c, const std::string& folder, const std::vector<uint32_t>& wanted) {
    std::vector<std::pair<uint32_t, bool>> listed;
    if (!ListUids(c, folder, listed)) return false;
    bool all = true;
    for (const uint32_t uid : wanted) {
        bool found = false;
        for (const auto& entry : listed) found |= entry.first == uid;
        if (!found) c.out.Error("no message " + std::to_string(uid) + " in " + folder);
        all &= found;
    }
    return all;
}
