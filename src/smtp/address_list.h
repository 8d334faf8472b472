// Recipient lists of an outgoing message. The header line and the envelope read the same
// text differently: the header splits on ";" only, the envelope on "," and ";" outside quotes.
#pragma once

#include "platform/cstring.h"

namespace smtp {

// The To:/cc: header value: items in "<%s>" form unless they already hold a "<", joined by ", ".
CString FormatHeaderList(const CString& list);

// One "RCPT TO: <%s>\r\n" command per address of the list, in list order.
CStringArray RecipientCommands(const CString& list);

// The bare address of one list item.
CString ExtractAddress(const CString& item);

// Trimmed, and stripped of enclosing double or single quotes (repeatedly).
CString Unquote(const CString& text);

}  // namespace smtp
