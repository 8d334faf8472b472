// The MIME benchmark's reference inputs, generated the same way on every run (CR LF line ends):
// the module's benchmark builds them in memory, bench/peers/make_inputs writes them to files for
// the other MIME libraries to read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace mime_inputs {

// Deterministic pseudo-random bytes (xorshift), so runs compare.
struct Bytes {
    uint32_t state = 2463534242u;
    unsigned char Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<unsigned char>(state);
    }
    // A number in [low, high].
    int Between(int low, int high) { return low + (Next() << 8 | Next()) % (high - low + 1); }
};

inline void AppendBase64Lines(std::string& out, size_t rawBytes, Bytes& rng) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    int column = 0;
    for (size_t i = 0; i < rawBytes; i += 3) {
        const unsigned v = rng.Next() << 16 | rng.Next() << 8 | rng.Next();
        for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
        column += 4;
        if (column == 76) {
            out += "\r\n";
            column = 0;
        }
    }
    if (column != 0) out += "\r\n";
}

// Running text encoded as quoted-printable, lines of at most 76 characters: words, some
// accented (encoded bytes), a space and a soft break where a line is full, and now and then a
// hard line break (never after white space).
inline void AppendQuotedPrintableText(std::string& out, size_t encodedBytes, Bytes& rng) {
    static const char* const kWords[] = {
        "the",     "message",    "arrives", "with",  "a",      "report",         "caf=C3=A9",
        "and",     "cr=C3=A8me", "for",     "every", "reader", "d=C3=A9j=C3=A0", "vu",
        "section", "numbers",    "=3D",     "total", "of",     "late",           "na=C3=AFve",
        "lines",   "without",    "end"};
    constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
    const size_t stop = out.size() + encodedBytes;
    size_t column = 0;
    while (out.size() < stop) {
        const std::string word = kWords[rng.Next() % kWordCount];
        if (column != 0 && column + 1 + word.size() + 2 > 76) {  // room for " =" after it
            out += " =\r\n";
            column = 0;
        } else if (column != 0) {
            if (rng.Next() % 16 == 0) {
                out += "\r\n";
                column = 0;
            } else {
                out += ' ';
                ++column;
            }
        }
        out += word;
        column += word.size();
    }
    if (column != 0) out += "\r\n";
}

inline std::string Headers(long id, const std::string& contentType, const char* extra = "") {
    char buffer[640];
    std::snprintf(buffer, sizeof buffer,
                  "Received: from mx.example.net by mail.example.org; Mon, 12 Jan 2004 10:%02ld:00 +0100\r\n"
                  "From: Sender %ld <sender%ld@example.net>\r\nTo: reader@example.org\r\n"
                  "Subject: =?utf-8?Q?Message_n=C2=B0_%ld?=\r\nDate: Mon, 12 Jan 2004 10:00:00 +0100\r\n"
                  "MIME-Version: 1.0\r\nContent-Type: %s\r\n%s\r\n",
                  id % 60, id, id, id, contentType.c_str(), extra);
    return buffer;
}

// One message: a short text part and a base64 attachment of megabytes MB.
inline std::string AttachmentMessage(size_t megabytes) {
    Bytes rng;
    std::string b = "----=_Part_big_attachment";
    std::string text = Headers(1, "multipart/mixed; boundary=\"" + b + "\"");
    // Sized up front, so the input's own growth does not count in the peak memory.
    text.reserve(megabytes * 1024 * 1024 / 57 * 78 + 4096);
    text += "--" + b + "\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nThe report is attached.\r\n";
    text +=
        "--" + b +
        "\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    AppendBase64Lines(text, megabytes * 1024 * 1024, rng);
    text += "--" + b + "--\r\n";
    return text;
}

// One message of count small quoted-printable text parts.
inline std::string ManyPartsMessage(long count) {
    Bytes rng;
    std::string b = "----=_Part_many_parts";
    std::string text = Headers(2, "multipart/mixed; boundary=\"" + b + "\"");
    text.reserve(static_cast<size_t>(count) * 400 + 1024);
    for (long i = 0; i < count; ++i) {
        text += "--" + b + "\r\n";
        text += i % 2 == 0 ? "Content-Type: text/plain; charset=iso-8859-1\r\n"
                           : "Content-Type: text/plain; charset=utf-8\r\n";
        text += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
        text += "Part " + std::to_string(i) + " caf=E9 cr=C3=A8me, a soft break =\r\ncontinues here.\r\n";
        AppendQuotedPrintableText(text, static_cast<size_t>(rng.Between(100, 300)), rng);
    }
    return text + "--" + b + "--\r\n";
}

// One single-part message whose quoted-printable body is megabytes MB of encoded text.
inline std::string QuotedPrintableMessage(size_t megabytes) {
    Bytes rng;
    std::string text =
        Headers(3, "text/plain; charset=utf-8", "Content-Transfer-Encoding: quoted-printable\r\n");
    text.reserve(megabytes * 1024 * 1024 + 4096);
    AppendQuotedPrintableText(text, megabytes * 1024 * 1024, rng);
    return text;
}

// An ordinary message of 2 to 6 KB: plain and HTML alternatives, every fourth with a small image.
inline std::string OrdinaryMessage(long id, Bytes& rng) {
    const std::string b = "----=_Part_" + std::to_string(id) + "_" + std::to_string(rng.Next());
    const std::string a = "----=_Alt_" + std::to_string(id);
    std::string text = Headers(id, "multipart/mixed; boundary=\"" + b + "\"");
    text += "This is a multi-part message in MIME format.\r\n\r\n--" + b + "\r\n";
    text += "Content-Type: multipart/alternative; boundary=\"" + a + "\"\r\n\r\n--" + a + "\r\n";
    text += "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    const int lines = rng.Between(10, 22);
    for (int line = 0; line < lines; ++line)
        text += "Line " + std::to_string(line) +
                " of the message text, with an accent: caf=C3=A9 and a soft =\r\nbreak.\r\n";
    text +=
        "--" + a +
        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    for (int line = 0; line < lines; ++line)
        text += "<p>Line " + std::to_string(line) +
                " of the message text, caf=C3=A9 and <b>bold</b> words.</p>\r\n";
    text += "--" + a + "--\r\n\r\n";
    if (id % 4 == 0) {
        text += "--" + b +
                "\r\nContent-Type: image/png; name=\"logo.png\"\r\n"
                "Content-Disposition: attachment; filename=\"logo.png\"\r\nContent-Transfer-Encoding: "
                "base64\r\n\r\n";
        AppendBase64Lines(text, static_cast<size_t>(rng.Between(300, 1100)), rng);
    }
    return text + "--" + b + "--\r\n";
}

}  // namespace mime_inputs
