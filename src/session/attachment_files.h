// Attachment parts of a downloaded message written to files in the temporary directory, under
// names that cannot leave that directory and whose full paths fit the host's 256-byte entries.
#pragma once

#include <cstddef>

#include "mime/mime_part.h"
#include "platform/cstring.h"

// Longest full path handed to the host: an AttachmentList entry holds it with its NUL.
inline constexpr int kMaxAttachmentPath = 255;

// The part's file name made safe: its last path component ("/" and "\\" both separate), with
// control characters, "," and the characters some systems refuse (: * ? " < > |) replaced,
// ".." broken up, trailing dots and blanks dropped, "attachment" when nothing is left, and a
// device name (CON, aux.txt, LPT1, ...) prefixed with "_".
CString SafeAttachmentName(const CString& fileName);

// The name to try for the counter-th clash (0: none): "(n)" before the first "." (or at the
// end), the stem shortened so the name has at most `room` characters; the extension is kept
// unless it would take more than half the room. Empty when no name fits.
CString AttachmentCandidateName(const CString& safeName, int counter, int room);

// Decodes the part (base64 when its transfer encoding says so) and writes it to a new file in
// `directory` (ending with a separator) under a name nothing has yet, created exclusively and
// remembered as this process's own. The full path, or empty when the part is empty or no file
// could be written.
CString WriteAttachmentFile(const MimePart& part, const CString& directory);
