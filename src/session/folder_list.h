// The folder list handed to the host, and the release functions for what the session hands out.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "zq_mailplugin.h"

// "inbox" 0, "outbox" 1, "drafts" 2, "sent" 3, "trash" 4 (whole name, any case), else -1.
int32_t FolderKind(const char* name);

// Builds the host's folder list from the names listed at logon: 0, or 16 when memory runs out.
int32_t BuildFolderList(const CStringArray& names, FolderEntry*** out, uint32_t* count);

// Release exports' work: 211 for a null array, else 0.
int32_t ReleaseFolderList(FolderEntry** folders, int32_t count);
int32_t ReleaseMailMsgArray(MailMsg** records, int32_t count);
// Deletes the attachment files this process created and releases the block; 0 always.
int32_t ReleaseAttachmentList(AttachmentList** list);

// Allocation matching the release functions above.
MailMsg** AllocMailMsgArray(uint32_t count);
