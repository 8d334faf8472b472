// The records that cross the exports, as the host holds them: what the module hands out
// (released through its own release exports, or free() for a GetMsg record), and the
// MailMsg blocks the host builds for SendMsg, DeleteMsg and SetMsgReadStatus.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "json.h"
#include "plugin_library.h"

struct ReleaseRecord {
    void operator()(MailMsg* record) const;
};
// The single record of GetMsg.
using OwnedRecord = std::unique_ptr<MailMsg, ReleaseRecord>;

// A record array of GetMsgIds, GetMsgHeaders or GetAllMsgs, given back through FreeMailMsg.
class RecordArray {
public:
    explicit RecordArray(PluginLibrary& plugin) : m_plugin(plugin) {}
    RecordArray(const RecordArray&) = delete;
    ~RecordArray();
    MailMsg** items = nullptr;
    uint32_t count = 0;

private:
    PluginLibrary& m_plugin;
};

// A folder list of GetFolderList, given back through FreeFolderList.
class FolderList {
public:
    explicit FolderList(PluginLibrary& plugin) : m_plugin(plugin) {}
    FolderList(const FolderList&) = delete;
    ~FolderList();
    FolderEntry** items = nullptr;
    uint32_t count = 0;

private:
    PluginLibrary& m_plugin;
};

// The IMAP UID in a record's id (0 when the id is not a 4-byte UID).
uint32_t UidOf(const MailMsg& record);
const char* KindName(int32_t kind);

// A MailMsg block built by the host: the 112-byte head, then the id and the texts it points at.
class HostMessage {
public:
    struct Texts {
        std::string from, to, cc, bcc, subject, body, attachments;  // in the module's code page
    };
    explicit HostMessage(uint32_t uid, const Texts& texts = {});
    const MailMsg* get() const { return reinterpret_cast<const MailMsg*>(m_block.data()); }

private:
    std::vector<uint64_t> m_block;  // 8-byte units keep the head aligned
};

// Every field of a record, decoded: texts as UTF-8, the UID, flags by name, the date in ISO form.
void WriteRecordJson(JsonWriter& json, const MailMsg& record);
