// Downloading message content through the IMAP client: the received time and seen state from a
// header peek, and the message itself, whole, header only, or rebuilt from its top-level header
// and first text part when it is too large or attachments are not wanted.
#pragma once

#include <cstdint>

#include "imap/imap_client.h"
#include "imap/imap_result.h"
#include "imap/retrieved_message.h"
#include "platform/cstring.h"

// The FETCH failed, or its text could not be read (the code 3 of the client's table).
inline constexpr ImapResult kFetchFailed = ImapResult::ReceiveFailed;

// seen: the \Seen flag; received: the time of the first Received header's date, 0 when there is
// none. 0, 1 (not ready, UID 0, no folder), 3, 4, 12.
ImapResult GetReceivedInfo(ImapClient& client, const char* folder, uint32_t uid, bool& seen, int32_t& received);

// The text of a FETCH answer, or of a message rebuilt from part answers; `whole` says which.
// The caller has checked the client and selected the folder. True when a text was produced.
bool FetchMessageText(ImapClient& client, const char* folder, uint32_t uid, CString& text, int32_t& whole,
                      bool headerOnly, int32_t sizeLimit, bool attachmentsWanted);

// Fetches and parses one message into `message` (which is reset first). 0, 1, 3, 4, 12.
ImapResult RetrieveMessage(ImapClient& client, const char* folder, uint32_t uid, RetrievedMessage* message,
                           bool headerOnly);

// Removes the FETCH line that announces the literal (first), and (tagged) what follows the
// announced literal, then the tagged status line with the line before it, the tag found by its
// "AEG" prefix wherever it first stands.
void StripFetchFraming(CString& text, bool first, bool tagged);
