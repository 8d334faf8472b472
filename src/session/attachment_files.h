// Attachment parts of a downloaded message written to files in the temporary directory, under
// names that cannot leave that directory and whose full paths fit the host's 256-byte entries.
#pragma once

#include <cstddef>

#include "mime/mime_part.h"
#include "platform/cstring.h"

// Longest full path handed to the host: an AttachmentList entry holds it with its NUL.
inline constexpr int kMaxAttachmentPath = 255;

// The part's file name made safe: its last path component ("/" and "\\" both separate), with
// control characters and "," replaced, ".." broken up, and "attachment" when nothing is left.
CString SafeAttachmentName(const CString& fileName);

// The name to try for the counter-th clash (0: none): "(n)" before the first "." (or at the
// end), the stem shortened so the name has at most `room` characters; the extension is kept
// unless it would take more than half the room. Empty when no name fits.
CString AttachmentCandidateName(const CString& safeName, int counter, int room);

// True when anything, a dangling link included, has that name in the directory (the temporary
// directory when `directory` is empty). False for an empty name.
bool FileExistsInDirectory(const char* name, const char* directory);

// Decodes the part (base64 when its transfer encoding says so) and writes it to a new file in
// `directory` (ending with a separator) under a name no file has yet. The full path, or empty
// when the part is empty or no file could be written.
CString WriteAttachmentFile(const MimePart& part, const CString& directory);
