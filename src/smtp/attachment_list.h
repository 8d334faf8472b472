// The message's comma-separated list of attachment paths.
#pragma once

#include "platform/cstring.h"

namespace smtp {

// One path and one display name per item, in list order. Items are not trimmed; an empty item
// ends the list (so a trailing comma gives one empty entry, and ",," stops there). The display
// name is the text after the last "/" or "\" of the path.
void SplitAttachmentList(const CString& list, CStringArray& paths, CStringArray& names);

}  // namespace smtp
