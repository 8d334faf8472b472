#include "mime/header_fields.h"

#include "mime/encoded_word.h"
#include "mime/text_match.h"

const HeaderField HeaderFieldTable[kHeaderFieldCount] = {
    {"To:", &MimeHeaderBlock::to},
    {"cc:", &MimeHeaderBlock::cc},
    {"From:", &MimeHeaderBlock::from},
    {"Subject:", &MimeHeaderBlock::subject},
    {"Reply-To:", &MimeHeaderBlock::replyTo},
    {"Return-Path:", &MimeHeaderBlock::replyTo},
    {"Date:", &MimeHeaderBlock::date},
    {"Received:", &MimeHeaderBlock::received},
    {"Content-Type:", &MimeHeaderBlock::contentType},
    {"Content-Transfer-Encoding:", &MimeHeaderBlock::transferEncoding},
    {"Content-Disposition:", &MimeHeaderBlock::disposition},
};

namespace {

constexpr int kTo = 0;
constexpr int kCc = 1;
constexpr int kReceived = 7;
constexpr int kContentType = 8;

int MatchField(std::string_view line) {
    for (int i = 0; i < kHeaderFieldCount; ++i)
        if (StartsWithNoCase(HeaderFieldTable[i].name, line)) return i;
    return -1;
}

// The Received header is reduced to the date that ends it.
void KeepReceivedDate(CString& value) {
    if (value.Find(';') < 0) {
        if (value.GetLength() > 0 && value[value.GetLength() - 1] == '\n')
            value = value.Left(value.GetLength() - 1);
        value = value.Mid(value.ReverseFind('\n') + 1);
    } else {
        value.Remove('\n');
        value = value.Mid(value.ReverseFind(';') + 1);
    }
}

}  // namespace

void AppendContinuationLines(CString& value, const LineArray& lines, int& position, int lineEnd) {
    bool folded = false;
    while (position < lineEnd && IsContinuationLine(lines[position])) {
        // Removing tabs from the whole value at each step would be quadratic: the value once,
        // then each added line, gives the same text.
        if (!folded) value.Remove('\t');
        folded = true;
        CString more(lines[position]);
        more.Remove('\t');
        value += more;
        value += '\n';
        ++position;
    }
}

CString QuotedText(const CString& value) {
    const int open = value.Find('"');
    if (open < 0) return CString();
    const int close = value.Find('"', open + 1);
    if (close < 0) return CString();
    return value.Mid(open + 1, close - open - 1);
}

CString ExtractBoundary(const CString& value) {
    if (value.Find('"') >= 0) return QuotedText(value);
    const int at = value.Find("boundary=");
    const int equals = value.Find('=', at >= 0 ? at : 0);
    if (equals < 0) return CString();
    CString rest = value.Mid(equals + 1);
    const int stop = rest.FindOneOf("\r\n \t");
    return stop >= 0 ? rest.Left(stop) : rest;
}

bool ParseHeaders(int& position, const LineArray& lines, int lineEnd, MimeHeaderBlock& block) {
    const int size = lines.GetSize();
    if (lineEnd > size) lineEnd = size;
    bool receivedTaken = false;
    bool ended = false;
    // Only lines of the range are read: a range that starts at or after its end (a forwarded
    // message cut off before its blank line) has no header block.
    while (position >= 0 && position < lineEnd) {
        const std::string_view line = lines[position];
        const int index = MatchField(line);
        if (index < 0) {
            if (line.empty()) ended = true;
            ++position;
            if (position >= lineEnd || ended) break;
            continue;
        }
        if (index == kReceived && receivedTaken) {
            ++position;
            while (position < lineEnd && IsContinuationLine(lines[position])) ++position;
            if (position >= lineEnd) break;
            continue;
        }

        CString value(line);
        ++position;
        AppendContinuationLines(value, lines, position, lineEnd);

        if (index == kReceived) {
            receivedTaken = true;
            KeepReceivedDate(value);
        } else {
            value = value.Mid(static_cast<int>(std::char_traits<char>::length(HeaderFieldTable[index].name)));
        }
        value.TrimLeft();

        if (index == kContentType) {
            const int semicolon = value.Find(';');
            CString media = semicolon >= 0 ? value.Left(semicolon) : value;
            media.TrimLeft();
            media.TrimRight();
            if (ContainsNoCase("boundary=", value.view())) block.boundary = ExtractBoundary(value);
            value = media;
        }

        DecodeEncodedWord(value);
        CString& field = block.*HeaderFieldTable[index].field;
        field = value;
        if (index == kTo || index == kCc) {
            field.Replace('\r', ' ');
            field.Replace('\n', ' ');
        }
        if (position >= lineEnd) break;
    }

    if (block.replyTo.IsEmpty() || block.replyTo.Find(':') >= 0) block.replyTo = block.from;
    if (block.received.IsEmpty() && !block.date.IsEmpty()) block.received = block.date;
    return position > 0;
}
