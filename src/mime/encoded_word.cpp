#include "mime/encoded_word.h"

#include "mime/base64_decode.h"
#include "mime/quoted_printable.h"
#include "mime/utf8_to_ansi.h"

void DecodeEncodedWord(CString& text) {
    if (text.IsEmpty() || text.Find('?') < 0) return;

    const int start = text.Find("=?");
    const CString prefix = start > 0 ? text.Left(start) : CString();
    const int close = text.Find("?=", start >= 0 ? start : 0);
    const CString suffix = close > 0 ? text.Mid(close + 2) : CString();

    // The word's layout is read from the question marks of the whole text, whatever precedes it.
    const int first = text.Find('?');
    const int second = text.Find('?', first + 1);
    if (second < 0 || second + 2 >= text.GetLength()) return;
    const char kind = text[second + 1];
    const bool base64 = kind == 'B' || kind == 'b';
    if (!base64 && kind != 'Q' && kind != 'q') return;
    if (text[second + 2] != '?') return;
    const int payloadStart = second + 3;
    const int payloadEnd = text.Find('?', payloadStart);
    if (payloadEnd < 0) return;

    const bool utf8 = text.Find("?utf-8?") >= 0 || text.Find("?UTF-8?") >= 0;
    CString decoded = text.Mid(payloadStart, payloadEnd - payloadStart);
    if (base64) {
        const CString payload = decoded;
        Base64DecodeText(payload, decoded);
    } else {
        QuotedPrintableDecode(decoded);
    }
    text = decoded;
    if (!prefix.IsEmpty()) text = prefix + text;
    if (!suffix.IsEmpty()) text += suffix;
    if (utf8) Utf8ToAnsi(text);
}
