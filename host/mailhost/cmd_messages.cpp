// list, get and attachments: reading messages without changing them.
#include <cctype>
#include <cstring>
#include <memory>

#include "commands.h"
#include "message_files.h"
#include "records.h"
#include "session.h"
#include "system.h"
#include "text.h"

namespace {

struct Row {
    uint32_t uid;
    std::string from, subject;
    int32_t date;
    bool read, partial, sized;
    uint64_t size;
};

bool IsInbox(const std::string& folder) {
    std::string lower = folder;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return lower == "inbox";
}

Row RowOf(const MailMsg& r) {
    return {UidOf(r),
            Utf8FromHost(r.from),
            Utf8FromHost(r.subject),
            r.date,
            (r.flags & ZQ_FLAG_READ) != 0,
            r.partial != 0,
            false,
            0};
}

// The Inbox comes in one GetAllMsgs; other folders by a GetMsg per message.
// With --headers-only nothing is downloaded: GetAllMsgs fetches only the Inbox's headers, and
// other folders show what GetMsgHeaders knows (date and read state).
bool CollectRows(Context& c, const std::string& folder, bool headersOnly, std::vector<Row>& rows) {
    const char* name = folder.c_str();
    RecordArray ids(c.plugin);
    // Listing the ids first gives the module each message's read state from before the
    // download; without it the module asks after fetching, when the fetch has set \Seen.
    if (c.out.Call("GetMsgIds", Quoted(folder), c.plugin.GetMsgIds(&name, &ids.items, &ids.count), false))
        return false;
    if (IsInbox(folder)) {
        RecordArray all(c.plugin);
        const int32_t code = c.plugin.GetAllMsgs(nullptr, &all.items, &all.count, headersOnly);
        if (c.out.Call("GetAllMsgs", std::string("headers only ") + (headersOnly ? "1" : "0"), code, false))
            return false;
        for (uint32_t i = 0; i < all.count; ++i) {
            rows.push_back(RowOf(*all.items[i]));
            if (headersOnly) continue;
            const FetchedMessage message(c, folder, all.items[i]);
            rows.back().size = message.Bytes();
            rows.back().sized = true;
        }
        return true;
    }
    if (headersOnly && ids.count > 0) {
        std::vector<MessageIdRef> refs;
        std::vector<const MessageIdRef*> pointers;
        for (uint32_t i = 0; i < ids.count; ++i) refs.push_back({ids.items[i]->idLength, ids.items[i]->id});
        for (const MessageIdRef& ref : refs) pointers.push_back(&ref);
        const int32_t n = static_cast<int32_t>(refs.size());
        RecordArray headers(c.plugin);
        const int32_t code =
            c.plugin.GetMsgHeaders(&name, &headers.items, &headers.count, pointers.data(), &n);
        if (c.out.Call("GetMsgHeaders", Quoted(folder) + ", " + std::to_string(n) + " ids", code, false))
            return false;
        for (uint32_t i = 0; i < headers.count; ++i) rows.push_back(RowOf(*headers.items[i]));
        return true;
    }
    for (uint32_t i = 0; i < ids.count; ++i) {
        const FetchedMessage message(c, folder, UidOf(*ids.items[i]));
        if (!message.record()) return false;
        rows.push_back(RowOf(*message.record()));
        rows.back().size = message.Bytes();
        rows.back().sized = true;
        Session::DropJournal();
    }
    return true;
}

}  // namespace

int RunList(Context& c) {
    const std::string& folder = c.line.arguments[0];
    std::vector<Row> rows;
    if (!CollectRows(c, folder, c.line.Has("--headers-only"), rows)) return kExitFailed;
    if (c.out.json()) {
        c.out.Json().Field("folder", folder).Key("messages").BeginArray();
        for (const Row& r : rows) {
            JsonWriter& j = c.out.Json();
            j.BeginObject().Field("uid", r.uid).Field("from", r.from).Field("subject", r.subject);
            j.Field("date", r.date).Field("dateUtc", r.date ? IsoUtcText(r.date) : "").Field("read", r.read);
            j.Key("size");
            r.sized ? j.Number(static_cast<int64_t>(r.size)) : j.Null();
            j.Field("partial", r.partial).EndObject();
        }
        c.out.Json().EndArray();
        return kExitOk;
    }
    if (rows.empty()) {
        c.out.Line("no messages in " + folder);
        return kExitOk;
    }
    Table table({{"UID", 0, true},
                 {"FROM", 24, false},
                 {"SUBJECT", 44, false},
                 {"DATE", 0, false},
                 {"READ", 0, false},
                 {"SIZE", 0, true}});
    bool partial = false;
    for (const Row& r : rows) {
        partial |= r.partial;
        table.Add({std::to_string(r.uid), r.from.empty() ? "-" : SenderName(r.from),
                   r.subject.empty() ? "-" : r.subject, LocalDateText(r.date), r.read ? "yes" : "no",
                   r.sized ? FormatSize(r.size) + (r.partial ? "*" : "") : "-"});
    }
    table.Print(stdout);
    if (partial) c.out.Line("* partial: only the header and first text part were fetched (--size-limit)");
    return kExitOk;
}

int RunGet(Context& c) {
    const std::string& folder = c.line.arguments[0];
    const uint32_t uid = ParseUid(c, c.line.arguments[1]);
    if (!uid) return kExitUsage;
    // GetMsgIds first, as a host does: the module then knows the read state from before the download.
    if (!RequireUids(c, folder, {uid})) return kExitFailed;
    FetchedMessage message(c, folder, uid);
    const MailMsg* r = message.record();
    if (!r) return kExitFailed;
    std::vector<SavedFile> saved;
    std::string error;
    const std::string dir = c.line.Value("--out");
    if (!dir.empty() && !message.Save(dir, saved, error)) {
        c.out.Error(error);
        return kExitFiles;
    }
    if (c.out.json()) {
        c.out.Json().Field("folder", folder).Key("message").BeginObject();
        WriteRecordJson(c.out.Json(), *r);
        c.out.Json().EndObject().Key("savedFiles").BeginArray();
        for (const SavedFile& f : saved) c.out.Json().String(f.path);
        c.out.Json().EndArray();
        return kExitOk;
    }
    std::string attachments;
    for (const std::string& path : message.attachmentPaths()) {
        attachments +=
            (attachments.empty() ? "" : ", ") + Utf8FromHost(path.substr(path.rfind('/') + 1).c_str());
    }
    const std::pair<const char*, std::string> fields[] = {
        {"From", Utf8FromHost(r->from)},
        {"To", Utf8FromHost(r->to)},
        {"Cc", Utf8FromHost(r->cc)},
        {"Reply-To", Utf8FromHost(r->replyTo)},
        {"Subject", Utf8FromHost(r->subject)},
        {"Date", LocalDateText(r->date)},
        {"Read", (r->flags & ZQ_FLAG_READ) ? "yes" : "no"},
        {"Partial",
         r->partial ? "yes: only the header and first text part were fetched (--size-limit)" : "no"},
        {"Attachments", attachments.empty() ? "none" : attachments}};
    for (const auto& [name, value] : fields)
        if (!value.empty()) std::printf("%-12s %s\n", (std::string(name) + ":").c_str(), value.c_str());
    if (dir.empty()) {
        std::printf("\n%s", Utf8FromHost(r->body).c_str());
        if (r->body && *r->body && r->body[std::strlen(r->body) - 1] != '\n') std::printf("\n");
    } else {
        std::printf("\nsaved %zu file(s) beside %s.json in %s\n", saved.size() + 2,
                    std::to_string(uid).c_str(), dir.c_str());
    }
    return kExitOk;
}

int RunAttachments(Context& c) {
    const std::string& folder = c.line.arguments[0];
    const uint32_t uid = ParseUid(c, c.line.arguments[1]);
    if (!uid) return kExitUsage;
    // GetMsgIds first, as a host does: the module then knows the read state from before the download.
    if (!RequireUids(c, folder, {uid})) return kExitFailed;
    FetchedMessage message(c, folder, uid);
    if (!message.record()) return kExitFailed;
    std::vector<SavedFile> saved;
    std::string error;
    if (!message.SaveAttachments(c.line.Value("--out", "."), c.line.Has("--force"), saved, error)) {
        c.out.Error(error);
        return kExitFiles;
    }
    if (c.out.json()) {
        c.out.Json().Field("folder", folder).Field("uid", uid).Key("files").BeginArray();
        for (const SavedFile& f : saved)
            c.out.Json()
                .BeginObject()
                .Field("name", f.name)
                .Field("path", f.path)
                .Field("size", f.size)
                .EndObject();
        c.out.Json().EndArray();
        return kExitOk;
    }
    if (saved.empty()) {
        c.out.Line("message " + std::to_string(uid) + " has no attachments" +
                   (message.record()->partial ? " fetched: it was fetched partially (--size-limit)" : ""));
        return kExitOk;
    }
    Table table({{"FILE", 0, false}, {"SIZE", 0, true}, {"SAVED AS", 0, false}});
    for (const SavedFile& f : saved) table.Add({f.name, FormatSize(f.size), f.path});
    table.Print(stdout);
    return kExitOk;
}
