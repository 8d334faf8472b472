// sync: every message of the chosen folders (all by default) into an output directory, with a
// progress line on a terminal and a summary table at the end.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "message_files.h"
#include "session.h"
#include "system.h"
#include "text.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FolderStats {
    std::string name;
    int messages = 0, unread = 0, partial = 0, attachments = 0, failed = 0;
    uint64_t bytes = 0;
    double seconds = 0;
    bool listed = true;
};

std::string Rate(uint64_t bytes, double seconds) {
    return FormatSize(seconds > 0 ? static_cast<uint64_t>(bytes / seconds) : bytes) + "/s";
}

// On a terminal one line is rewritten in place while a folder syncs; otherwise (and always at
// the end of a folder) a plain line per folder. Both go to standard error.
class Progress {
public:
    explicit Progress(bool live) : m_live(live), m_columns(hostos::TerminalColumns(stderr)) {}

    void Start(const std::string& folder, size_t index, size_t folders, size_t total) {
        m_label = folder + " (" + std::to_string(index) + "/" + std::to_string(folders) + ")";
        m_total = total;
        m_started = Clock::now();
        m_shown = Clock::time_point{};
        Update(0, 0);
    }
    void Update(size_t done, uint64_t bytes) {
        if (!m_live) return;
        const auto now = Clock::now();
        if (done != 0 && done != m_total && now - m_shown < std::chrono::milliseconds(100)) return;
        m_shown = now;
        const double seconds = Seconds();
        std::string line = m_label + "  " + std::to_string(done) + "/" + std::to_string(m_total) +
                           " messages  " + FormatSize(bytes) + "  " + Rate(bytes, seconds);
        if (done > 0 && done < m_total)
            line +=
                "  ~" + std::to_string(static_cast<int>(seconds / done * (m_total - done) + 0.5)) + " s left";
        std::fprintf(stderr, "\r%s\x1b[K", Clip(line, static_cast<size_t>(m_columns - 1)).c_str());
        std::fflush(stderr);
    }
    void Finish(FolderStats& s) {
        s.seconds = Seconds();
        std::string line = m_label + ": ";
        if (!s.listed) {
            line += "not listed";
        } else {
            line += std::to_string(s.messages) + (s.messages == 1 ? " message, " : " messages, ") +
                    FormatSize(s.bytes) + " in " + Fixed(s.seconds) + " s (" + Rate(s.bytes, s.seconds) + ")";
            if (s.partial) line += ", " + std::to_string(s.partial) + " partial";
            if (s.failed) line += ", " + std::to_string(s.failed) + " failed";
        }
        std::fprintf(stderr, "%s%s\n", m_live ? "\r\x1b[K" : "", line.c_str());
    }

private:
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - m_started).count(); }
    static std::string Fixed(double v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", v);
        return buffer;
    }
    bool m_live;
    int m_columns;
    std::string m_label;
    size_t m_total = 0;
    Clock::time_point m_started, m_shown;
};

// Syncs one folder; false only when an output file could not be written.
bool SyncFolder(Context& c, const std::string& dir, Progress& progress, size_t index, size_t folders,
                FolderStats& s) {
    std::vector<std::pair<uint32_t, bool>> uids;
    s.listed = ListUids(c, s.name, uids);
    progress.Start(s.name, index, folders, uids.size());
    const std::string target = (std::filesystem::path(dir) / SafeFileName(s.name)).string();
    for (size_t i = 0; i < uids.size(); ++i) {
        FetchedMessage message(c, s.name, uids[i].first);
        if (const MailMsg* r = message.record()) {
            std::vector<SavedFile> saved;
            std::string error;
            if (!message.Save(target, saved, error)) {
                progress.Finish(s);
                c.out.Error(error);
                return false;
            }
            ++s.messages;
            s.unread += (r->flags & ZQ_FLAG_READ) == 0;
            s.partial += r->partial != 0;
            s.attachments += static_cast<int>(saved.size());
            s.bytes += message.Bytes();
        } else {
            ++s.failed;
        }
        Session::DropJournal();
        progress.Update(i + 1, s.bytes);
    }
    progress.Finish(s);
    return true;
}

void PrintSummary(Context& c, const std::string& dir, const std::vector<FolderStats>& stats) {
    FolderStats total;
    total.name = "total";
    for (const FolderStats& s : stats) {
        total.messages += s.messages, total.unread += s.unread, total.partial += s.partial;
        total.attachments += s.attachments, total.failed += s.failed + !s.listed, total.bytes += s.bytes;
        total.seconds += s.seconds;
    }
    if (c.out.json()) {
        JsonWriter& j = c.out.Json();
        j.Field("out", dir).Key("folders").BeginArray();
        for (const FolderStats& s : stats) {
            j.BeginObject().Field("name", s.name).Field("listed", s.listed).Field("messages", s.messages);
            j.Field("unread", s.unread).Field("partial", s.partial).Field("attachments", s.attachments);
            j.Field("bytes", s.bytes).Field("failed", s.failed).EndObject();
        }
        j.EndArray().Key("total").BeginObject().Field("messages", total.messages).Field("bytes", total.bytes);
        j.Field("failed", total.failed)
            .Field("seconds", static_cast<int64_t>(total.seconds + 0.5))
            .EndObject();
        return;
    }
    Table table({{"FOLDER", 30, false},
                 {"MESSAGES", 0, true},
                 {"UNREAD", 0, true},
                 {"PARTIAL", 0, true},
                 {"ATTACHMENTS", 0, true},
                 {"SIZE", 0, true},
                 {"FAILED", 0, true}});
    for (const FolderStats& s : stats)
        table.Add({s.name, s.listed ? std::to_string(s.messages) : "-", std::to_string(s.unread),
                   std::to_string(s.partial), std::to_string(s.attachments), FormatSize(s.bytes),
                   s.listed ? std::to_string(s.failed) : "not listed"});
    table.Add({total.name, std::to_string(total.messages), std::to_string(total.unread),
               std::to_string(total.partial), std::to_string(total.attachments), FormatSize(total.bytes),
               std::to_string(total.failed)});
    table.Print(stdout);
    c.out.Line("files in " + dir +
               "/ (per folder: UID.json, the body as UID.txt or UID.html, attachments in UID/)");
}

}  // namespace

int RunSync(Context& c) {
    const std::string dir = c.line.Value("--out", "mailhost-out");
    std::vector<std::string> names = c.line.arguments;
    if (names.empty()) {
        std::vector<FolderInfo> folders;
        if (!ListFolders(c, folders)) return kExitFailed;
        for (const FolderInfo& f : folders) names.push_back(f.name);
    }
    std::string error;
    if (!hostos::MakeDirectories(dir, error)) {
        c.out.Error(error);
        return kExitFiles;
    }
    Progress progress(hostos::IsTerminal(stderr) && !c.options.verbose);
    std::vector<FolderStats> stats;
    for (const std::string& name : names) {
        stats.emplace_back().name = name;
        if (!SyncFolder(c, dir, progress, stats.size(), names.size(), stats.back())) return kExitFiles;
    }
    PrintSummary(c, dir, stats);
    for (const FolderStats& s : stats)
        if (s.failed || !s.listed) return kExitFailed;
    return kExitOk;
}
