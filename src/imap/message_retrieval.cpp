#include "imap/message_retrieval.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "mime/date_parse.h"
#include "mime/mime_parser.h"
#include "mime/text_match.h"
#include "platform/host_binding.h"

namespace {

// Parts 1 to 4 are probed for the first text part; later ones are never looked at.
constexpr int kProbedParts = 4;

bool FetchUid(ImapClient& client, uint32_t uid, const char* item, CString& response) {
    CString command;
    command.Format("UID FETCH %lu %s", UidArgument(uid), item);
    return client.Execute(command, response);
}

bool FetchPart(ImapClient& client, uint32_t uid, const char* format, int part, CString& response) {
    CString item;
    item.Format(format, part);
    return FetchUid(client, uid, item, response);
}

// One allocation for the whole rebuilt text.
CString Concatenate(std::initializer_list<std::string_view> pieces) {
    size_t total = 0;
    for (std::string_view piece : pieces) total += piece.size();
    std::string text;
    text.reserve(total);
    for (std::string_view piece : pieces) text.append(piece);
    return CString(std::move(text));
}

enum class TextPartKind { None, Simple, Alternative };

// The message rebuilt from its top-level header and the first text part among parts 1 to 4,
// laid out as an ordinary MIME message: the parser reads it like any other.
bool RebuildFromParts(ImapClient& client, uint32_t uid, CString& text) {
    CString header;
    if (!FetchUid(client, uid, "BODY[HEADER]", header)) return false;
    LineArray headerLines;
    client.SplitResponseLines(header, headerLines);
    MimeParser top;
    if (!top.Parse(0, headerLines.GetSize(), headerLines, true)) return false;

    CString mime;
    int part = 0;
    TextPartKind kind = TextPartKind::None;
    for (int n = 1; n <= kProbedParts && kind == TextPartKind::None; ++n) {
        if (!FetchPart(client, uid, "BODY[%d.MIME]", n, mime)) return false;
        part = n;
        if (ContainsNoCase("multipart/alternative", mime.view()))
            kind = TextPartKind::Alternative;
        else if (ContainsNoCase("text/plain", mime.view()) || ContainsNoCase("text/html", mime.view()))
            kind = TextPartKind::Simple;
    }
    LineArray mimeLines;
    client.SplitResponseLines(mime, mimeLines);
    MimeParser inner;
    if (!inner.Parse(0, mimeLines.GetSize(), mimeLines, true)) return false;

    const std::string_view outer = top.HeaderFields().boundary.view();
    if (kind == TextPartKind::None) {
        // No text part to show: the header alone stands for the message.
        StripFetchFraming(header, false, true);
        text = std::move(header);
        return true;
    }
    if (kind == TextPartKind::Simple) {
        CString body;
        if (!FetchPart(client, uid, "BODY[%d]", part, body)) return false;
        StripFetchFraming(header, false, true);
        StripFetchFraming(mime, true, true);
        StripFetchFraming(body, true, true);
        text = Concatenate({header.view(), outer, "\r\n", mime.view(), body.view(), "\r\n\r\n", outer, "\r\n\r\n"});
        return true;
    }
    CString firstMime, firstBody, secondMime, secondBody;
    if (!FetchPart(client, uid, "BODY[%d.1.MIME]", part, firstMime) ||
        !FetchPart(client, uid, "BODY[%d.1]", part, firstBody) ||
        !FetchPart(client, uid, "BODY[%d.2.MIME]", part, secondMime) ||
        !FetchPart(client, uid, "BODY[%d.2]", part, secondBody))
        return false;
    StripFetchFraming(header, false, true);
    for (CString* piece : {&mime, &firstMime, &firstBody, &secondMime, &secondBody}) StripFetchFraming(*piece, true, true);
    const std::string_view alternative = inner.HeaderFields().boundary.view();
    text = Concatenate({header.view(), outer, "\r\n", mime.view(), alternative, "\r\n", firstMime.view(),
                        firstBody.view(), "\r\n", alternative, "\r\n", secondMime.view(), secondBody.view(), "\r\n",
                        alternative, "\r\n\r\n", outer, "\r\n\r\n"});
    return true;
}

// Splits and parses the fetched text into message; false when there is nothing to parse.
bool ParseRetrieved(ImapClient& client, CString&& text, RetrievedMessage& message, bool attachmentsWanted) {
    LineArray lines;
    client.SplitResponseLines(std::move(text), lines);
    if (lines.GetSize() == 0) return false;
    // The FETCH line, and the closing parenthesis (or a rebuilt text's empty last line).
    lines.RemoveAt(0);
    if (lines.GetSize() > 0) lines.RemoveAt(lines.GetUpperBound());
    MimeParser parser;
    if (!parser.Parse(0, lines.GetSize(), lines, true)) return false;

    message.header = parser.HeaderFields();
    MimePart* plain = parser.FindTextPart(false);
    MimePart* html = parser.FindTextPart(true);
    if (plain) message.plainPart = *plain;
    if (html) message.htmlPart = *html;
    if (attachmentsWanted) {
        const MimePartList::Node* cursor = nullptr;
        for (MimePart* part = parser.FirstAttachment(cursor);
             part != nullptr && message.attachmentCount < kMaxRetrievedAttachments;
             part = parser.NextAttachment(cursor)) {
            // Attachments are never text parts, and the parser goes with this call: move, not copy.
            message.attachments[message.attachmentCount++] = std::move(*part);
        }
    }
    return true;
}

// Just past the literal that the first line announces with "{n}" at its end, when the text holds
// all of it; npos otherwise.
size_t AnnouncedLiteralEnd(const std::string& s) {
    const size_t cr = s.find('\r');
    if (cr == std::string::npos || cr == 0 || s[cr - 1] != '}') return std::string::npos;
    const size_t open = s.rfind('{', cr - 1);
    if (open == std::string::npos || open + 1 == cr - 1) return std::string::npos;
    const size_t start = cr + 2;
    if (start > s.size()) return std::string::npos;
    const size_t available = s.size() - start;
    size_t length = 0;
    for (size_t i = open + 1; i < cr - 1; ++i) {
        if (s[i] < '0' || s[i] > '9') return std::string::npos;
        length = length * 10 + static_cast<size_t>(s[i] - '0');
        if (length > available) return std::string::npos;  // also keeps the number from overflowing
    }
    return start + length;
}

}  // namespace

void StripFetchFraming(CString& text, bool first, bool tagged) {
    std::string& s = text.str();
    size_t literalEnd = tagged ? AnnouncedLiteralEnd(s) : std::string::npos;
    if (first) {
        const size_t cr = s.find('\r');
        if (cr != std::string::npos) {
            const size_t removed = std::min(cr + 2, s.size());
            s.erase(0, removed);
            if (literalEnd != std::string::npos) literalEnd -= removed;
        }
    }
    if (tagged) {
        // A part's literal need not end with a line break: servers close the FETCH right after
        // its last character ("last line)"). What follows the literal goes first, so that last
        // line survives; where the literal does end with CR LF this is the cut below.
        if (literalEnd != std::string::npos) s.resize(literalEnd);
        const int found = text.Find("AEG");
        if (found < 0) return;
        const size_t at = static_cast<size_t>(found);
        if (at <= 2) {
            s.clear();
            return;
        }
        size_t end = at - 2;
        while (end > 0 && s[end - 1] != '\n') --end;
        s.resize(end);
    }
}

ImapResult GetReceivedInfo(ImapClient& client, const char* folder, uint32_t uid, bool& seen, int32_t& received) {
    if (!client.IsReady() || uid == 0 || !folder || !*folder) return ImapResult::NotReady;
    const ImapResult selected = client.SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;
    CString response;
    if (!FetchUid(client, uid, "(FLAGS BODY.PEEK[HEADER.FIELDS (Received)])", response)) return kFetchFailed;

    response.MakeLower();
    LineArray lines;
    const int count = client.SplitResponseLines(std::move(response), lines);
    seen = count > 0 && lines[0].find("seen") != std::string_view::npos;

    CString date;
    if (count >= 2) {
        int line = 1;
        while (line < count && lines[line].find("received:") == std::string_view::npos) ++line;
        while (line < count && lines[line].find(';') == std::string_view::npos) ++line;
        if (line < count) {
            date = CString(lines[line].substr(lines[line].find(';') + 1));
            // The date may be folded onto the next line.
            if (line + 1 < count && IsContinuationLine(lines[line + 1])) {
                CString rest(lines[line + 1]);
                rest.TrimLeft();
                if (!date.IsEmpty()) date += ' ';
                date += rest;
            }
        }
    }
    date.TrimLeft();
    received = ParseDate(date, false);
    return ImapResult::Ok;
}

bool FetchMessageText(ImapClient& client, const char* folder, uint32_t uid, CString& text, int32_t& whole,
                      bool headerOnly, int32_t sizeLimit, bool attachmentsWanted) {
    const uint32_t size = client.GetMessageSize(folder, uid);
    bool partsPath = !attachmentsWanted;
    if (sizeLimit > 0 && size > static_cast<uint32_t>(sizeLimit)) {
        whole = 0;
        partsPath = true;
    }
    if (headerOnly) {
        whole = 0;  // a header without its body is never the whole message
        return FetchUid(client, uid, "RFC822.HEADER", text);
    }
    if (!partsPath) {
        whole = 1;
        return FetchUid(client, uid, "RFC822", text);
    }
    CString probe;
    if (FetchUid(client, uid, "BODY[HEADER.FIELDS (Content-Type)]", probe) &&
        !ContainsNoCase("multipart/mixed", probe.view())) {
        // Nothing to leave out of a message without attachment parts.
        if (!FetchUid(client, uid, "RFC822", text)) return false;
        whole = 1;
        return true;
    }
    whole = 0;  // also after a failed probe: what follows is rebuilt from parts
    return RebuildFromParts(client, uid, text);
}

ImapResult RetrieveMessage(ImapClient& client, const char* folder, uint32_t uid, RetrievedMessage* message,
                           bool headerOnly) {
    if (!client.IsReady() || uid == 0 || !folder || !*folder || !message) return ImapResult::NotReady;
    const ImapResult selected = client.SelectIfNeeded(folder);
    if (selected != ImapResult::Ok) return selected;
    message->Reset();

    const ImapSettings& settings = client.Settings();
    const bool attachmentsWanted = settings.downloadAttachments != 0;
    CString text;
    int32_t whole = 1;
    if (!FetchMessageText(client, folder, uid, text, whole, headerOnly, settings.maxMessageSize, attachmentsWanted))
        return kFetchFailed;
    message->wholeMessage = whole;

    ImapResult result = kFetchFailed;
    try {
        if (ParseRetrieved(client, std::move(text), *message, attachmentsWanted)) result = ImapResult::Ok;
    } catch (const std::exception&) {
        // Out of memory on a hostile or huge text: the message is reported as not retrieved.
        if (settings.logging) host::Log("Invalid response when retrieving message.");
        result = kFetchFailed;
    }
    if (message->header.date.IsEmpty()) message->header.date = message->header.received;
    return result;
}
