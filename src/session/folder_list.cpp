#include "session/folder_list.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "platform/layout32.h"
#include "records/cmsg.h"
#include "session/created_files.h"
#include "session/imap_session.h"

ZQ_LAYOUT32(sizeof(FolderEntry) == 16);
ZQ_LAYOUT32(sizeof(AttachmentList) == 2564 && offsetof(AttachmentList, path) == 4);
ZQ_LAYOUT32(sizeof(MessageIdRef) == 8);

int32_t FolderKind(const char* name) {
    static const char* const kinds[] = {"inbox", "outbox", "drafts", "sent", "trash"};
    for (int32_t kind = 0; kind < 5; ++kind)
        if (CString(name).CompareNoCase(kinds[kind]) == 0) return kind;
    return -1;
}

namespace {

FolderEntry* NewEntry(const CString& name, int32_t kind) {
    auto* entry = new (std::nothrow) FolderEntry{nullptr, 0, nullptr, -1};
    if (!entry) return nullptr;
    entry->name = new (std::nothrow) char[static_cast<size_t>(name.GetLength()) + 1]();
    if (!entry->name) {
        delete entry;
        return nullptr;
    }
    std::memcpy(entry->name, name.c_str(), static_cast<size_t>(name.GetLength()));
    entry->kind = kind;
    return entry;
}

}  // namespace

int32_t BuildFolderList(const CStringArray& names, FolderEntry*** out, uint32_t* count) {
    *count = 0;
    const int n = names.GetSize();
    if (n == 0) return 0;
    auto** array = new (std::nothrow) FolderEntry*[static_cast<size_t>(n) + 1]();
    if (!array) return 16;
    // Long names are not offered and do not use up one of the 50 places.
    int limit = n < kMaxFolderEntries ? n : kMaxFolderEntries;
    bool inboxSeen = false;
    for (int i = 0; i < n && i < limit; ++i) {
        const CString& name = names[i];
        if (name.GetLength() > kMaxFolderNameLength) {
            ++limit;
            continue;
        }
        FolderEntry* entry = NewEntry(name, FolderKind(name));
        if (!entry) {
            delete[] array;  // entries already made are not released: the host never sees them
            *count = 0;
            return 16;
        }
        if (name.CompareNoCase("Inbox") == 0) inboxSeen = true;
        array[(*count)++] = entry;
    }
    if (!inboxSeen) {
        if (*count >= static_cast<uint32_t>(kMaxFolderEntries)) {
            FolderEntry* last = array[*count - 1];
            delete[] last->name;
            last->name = new (std::nothrow) char[6]();
            if (last->name) std::memcpy(last->name, "Inbox", 5);
            last->kind = 0;
        } else if (FolderEntry* inbox = NewEntry("Inbox", 0)) {
            array[(*count)++] = inbox;
        }
    }
    *out = array;
    return 0;
}

int32_t ReleaseFolderList(FolderEntry** folders, int32_t count) {
    if (!folders) return 211;
    if (count == 0) return 0;
    for (int32_t i = 0; i < count; ++i) {
        FolderEntry* entry = folders[i];
        if (!entry) continue;
        delete[] entry->name;
        delete[] static_cast<char*>(entry->extra);
        delete entry;
    }
    delete[] folders;
    return 0;
}

MailMsg** AllocMailMsgArray(uint32_t count) { return new (std::nothrow) MailMsg*[count](); }

int32_t ReleaseMailMsgArray(MailMsg** records, int32_t count) {
    if (!records) return 211;
    if (count == 0) return 0;
    for (int32_t i = 0; i < count; ++i) FreeMailMsgRecord(records[i]);
    delete[] records;
    return 0;
}

int32_t ReleaseAttachmentList(AttachmentList** list) {
    if (!list || !*list) return 0;
    AttachmentList* block = *list;
    const int32_t count = block->count < ZQ_MAX_ATTACHMENTS ? block->count : ZQ_MAX_ATTACHMENTS;
    for (int32_t i = 0; i < count; ++i) {
        block->path[i][ZQ_ATTACHMENT_PATH_SIZE - 1] = '\0';
        created_files::Release(block->path[i]);  // only files this process wrote are deleted
    }
    delete block;
    return 0;
}

int32_t ImapSession::GetFolderList(FolderEntry*** folders, uint32_t* count) {
    if (!imapConnected) return 8;
    if (!folders || !count) return 16;
    return BuildFolderList(folderNames, folders, count);
}
