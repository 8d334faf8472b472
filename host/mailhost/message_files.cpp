#include "message_files.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "system.h"
#include "text.h"

namespace fs = std::filesystem;

FetchedMessage::FetchedMessage(Context& c, const std::string& folder, uint32_t uid) : m_c(c), m_uid(uid) {
    const char* name = folder.c_str();
    const MessageIdRef id{4, reinterpret_cast<const uint8_t*>(&m_uid)};
    MailMsg* record = nullptr;
    const int32_t code = c.plugin.GetMsg(&name, &id, &record);
    c.out.Call("GetMsg", Quoted(folder) + ", " + std::to_string(uid), code, false);
    m_owned.reset(record);
    m_record = record;
    if (code == 0 && !record)
        c.out.Error("no message " + std::to_string(uid) + " in " + folder + " (GetMsg delivered no record)");
    if (m_record) AskForAttachments(folder);
}

FetchedMessage::FetchedMessage(Context& c, const std::string& folder, const MailMsg* record)
    : m_c(c), m_uid(UidOf(*record)), m_record(record) {
    AskForAttachments(folder);
}

void FetchedMessage::AskForAttachments(const std::string& folder) {
    const char* name = folder.c_str();
    const int32_t code =
        m_c.plugin.GetMessageAttachment(&name, 4, reinterpret_cast<const uint8_t*>(&m_uid), &m_list);
    m_c.out.Call("GetMessageAttachment", Quoted(folder) + ", " + std::to_string(m_uid), code, false);
    if (code != 0) m_list = nullptr;
    for (int i = 0; m_list && i < m_list->count && i < ZQ_MAX_ATTACHMENTS; ++i)
        m_paths.emplace_back(m_list->path[i], strnlen(m_list->path[i], ZQ_ATTACHMENT_PATH_SIZE));
}

FetchedMessage::~FetchedMessage() {
    if (m_list) m_c.out.Call("FreeAttachment", "", m_c.plugin.FreeAttachment(&m_list), false);
}

uint64_t FetchedMessage::Bytes() const {
    uint64_t bytes = m_record && m_record->body ? std::strlen(m_record->body) : 0;
    for (const std::string& path : m_paths) {
        std::error_code ec;
        const auto size = fs::file_size(fs::path(path), ec);
        if (!ec) bytes += size;
    }
    return bytes;
}

bool FetchedMessage::SaveAttachments(const std::string& dir, bool overwrite, std::vector<SavedFile>& saved,
                                     std::string& error) {
    if (m_paths.empty()) return true;
    if (!hostos::MakeDirectories(dir, error)) return false;
    for (const std::string& path : m_paths) {
        // The module names its files in its own code page; the copies get UTF-8 names.
        const std::string name = SafeFileName(Utf8FromHost(fs::path(path).filename().string().c_str()));
        const fs::path target = fs::path(dir) / name;
        std::error_code ec;
        if (!overwrite && fs::exists(target, ec)) {
            error = target.string() + " exists (--force overwrites it)";
            return false;
        }
        fs::copy_file(path, target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = "cannot copy " + path + " to " + target.string() + ": " + ec.message();
            return false;
        }
        saved.push_back({name, target.string(), fs::file_size(target, ec)});
    }
    return true;
}

bool FetchedMessage::Save(const std::string& dir, std::vector<SavedFile>& saved, std::string& error) {
    if (!m_record || !hostos::MakeDirectories(dir, error)) return false;
    const std::string base = std::to_string(m_uid);
    const fs::path bodyFile = fs::path(dir) / (base + (IsHtml(m_record->body) ? ".html" : ".txt"));
    std::vector<SavedFile> attachments;
    if (!SaveAttachments((fs::path(dir) / base).string(), true, attachments, error)) return false;

    JsonWriter json;
    json.BeginObject();
    WriteRecordJson(json, *m_record);
    json.Field("bodyFile", bodyFile.filename().string());
    json.Key("attachmentFiles").BeginArray();
    for (const SavedFile& file : attachments) json.String(base + "/" + file.name);
    json.EndArray().EndObject();

    const std::pair<fs::path, std::string> files[] = {{fs::path(dir) / (base + ".json"), json.Text()},
                                                      {bodyFile, Utf8FromHost(m_record->body)}};
    for (const auto& [path, text] : files) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            error = "cannot write " + path.string();
            return false;
        }
    }
    saved.insert(saved.end(), attachments.begin(), attachments.end());
    return true;
}

bool IsHtml(const char* body) {
    if (!body) return false;
    while (std::isspace(static_cast<unsigned char>(*body))) ++body;
    std::string start(body, strnlen(body, 16));
    for (char& ch : start) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return start.rfind("<html", 0) == 0 || start.rfind("<!doctype html", 0) == 0;
}
