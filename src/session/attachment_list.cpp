// The attachment files of a cached message handed to the host as an AttachmentList.
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "platform/host_binding.h"
#include "session/imap_session.h"
#include "session/message_id.h"

bool ImapSession::GetAttachmentNames(FolderRef folder, uint32_t length, const uint8_t* bytes, CStringArray& names) {
    const CMsg* message = FindCachedMessage(FolderNameOf(folder), length, bytes);
    if (!message) return false;
    names.RemoveAll();
    const std::string_view paths = message->m_strAttachments.view();
    if (paths.empty()) return true;
    // Every piece counts, an empty one included.
    size_t start = 0;
    for (size_t comma = paths.find(','); comma != std::string_view::npos; comma = paths.find(',', start)) {
        names.Add(CString(paths.substr(start, comma - start)));
        start = comma + 1;
    }
    names.Add(CString(paths.substr(start)));
    return true;
}

int32_t ImapSession::GetAttachments(FolderRef folder, uint32_t idLength, const uint8_t* idData, AttachmentList** list,
                                    bool logLines) {
    CStringArray names;
    if (!GetAttachmentNames(folder, idLength, idData, names)) return static_cast<int32_t>(SessionResult::NotCached);
    const int n = names.GetSize();
    if (n == 0 || !list) return 0;
    auto* block = new (std::nothrow) AttachmentList();
    if (!block) return static_cast<int32_t>(SessionResult::OutOfMemory);
    *list = block;
    const int k = std::min(n, ZQ_MAX_ATTACHMENTS);
    if (logLines && n > ZQ_MAX_ATTACHMENTS) {
        CString text = "The message contains more attachments than allowable. Removing attachments:";
        for (int i = ZQ_MAX_ATTACHMENTS; i < n; ++i) text += "\n" + names[i];
        host::Log(text);
    }
    for (int i = 0; i < k; ++i) {
        ++block->count;
        // Download keeps paths short enough; a longer one is cut rather than overrun the entry.
        const size_t size = std::min<size_t>(static_cast<size_t>(names[i].GetLength()), ZQ_ATTACHMENT_PATH_SIZE - 1);
        std::memcpy(block->path[i], names[i].c_str(), size);
        if (logLines) {
            CString line;
            line.Format("ATT: %s", names[i].c_str());
            host::Log(line);
        }
    }
    return 0;
}
