// MIME download benchmark: for each message, what a download does to it: split the text into
// lines as the IMAP engine does, parse it, and decode every part's content into memory.
//
//   bench_mime FILE|DIR...              message files with CR LF line ends (bare LF is accepted)
//   bench_mime --synthetic KIND [COUNT [REPEAT]]  generated input, KIND one of
//        attachment  one message with a base64 attachment of COUNT MB (default 50)
//        parts       one message of COUNT small parts (default 10000)
//        messages    COUNT ordinary messages (default 10000)
//
// Prints messages, parts, input and decoded bytes, elapsed time, MB/s and peak memory; with
// REPEAT, the generated input is processed that many times and the median run is printed.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mime/base64_decode.h"
#include "mime/mime_parser.h"
#include "mime/text_match.h"
#include "platform/line_array.h"

namespace {

struct Totals {
    long messages = 0;
    long parts = 0;
    double inputBytes = 0;
    double decodedBytes = 0;
    double seconds = 0;
    double splitSeconds = 0;
    double parseSeconds = 0;
};

// One download: the response text moves into its line array, as the session does.
void Process(std::string text, Totals& totals) {
    const auto start = std::chrono::steady_clock::now();
    totals.inputBytes += static_cast<double>(text.size());
    std::vector<MimePart> parts;
    auto split = start;
    {
        LineArray lines;
        lines.AppendLines(std::move(text));
        split = std::chrono::steady_clock::now();
        MimeParser parser;
        parser.Parse(0, lines.GetSize(), lines, true);
        // Parts move out and the lines go with the parser, as a retrieval does before decoding.
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n))
            parts.push_back(std::move(*n->part));
    }
    const auto parsed = std::chrono::steady_clock::now();
    totals.splitSeconds += std::chrono::duration<double>(split - start).count();
    totals.parseSeconds += std::chrono::duration<double>(parsed - split).count();
    for (const MimePart& part : parts) {
        ++totals.parts;
        if (ContainsNoCase("base64", part.transferEncoding.view())) {
            std::unique_ptr<unsigned char[]> bytes;
            int32_t length = 0;
            Base64Decode(part.body, bytes, length);
            totals.decodedBytes += length;
        } else {
            totals.decodedBytes += part.body.GetLength();  // quoted-printable was decoded by the parse
        }
    }
    ++totals.messages;
    totals.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find('\r') != std::string::npos) return text;
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 32);
    for (char ch : text) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    return crlf;
}

// Deterministic pseudo-random bytes (xorshift), so runs compare.
struct Bytes {
    uint32_t state = 2463534242u;
    unsigned char Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<unsigned char>(state);
    }
};

void AppendBase64Lines(std::string& out, size_t rawBytes, Bytes& rng) {
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

std::string Headers(long id, const std::string& contentType) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer,
                  "Received: from mx.example.net by mail.example.org; Mon, 12 Jan 2004 10:%02ld:00 +0100\r\n"
                  "From: Sender %ld <sender%ld@example.net>\r\nTo: reader@example.org\r\n"
                  "Subject: =?utf-8?Q?Message_n=C2=B0_%ld?=\r\nDate: Mon, 12 Jan 2004 10:00:00 +0100\r\n"
                  "MIME-Version: 1.0\r\nContent-Type: %s\r\n\r\n",
                  id % 60, id, id, id, contentType.c_str());
    return buffer;
}

std::string AttachmentMessage(size_t megabytes) {
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

std::string ManyPartsMessage(long count) {
    Bytes rng;
    std::string b = "----=_Part_many_parts";
    std::string text = Headers(2, "multipart/mixed; boundary=\"" + b + "\"");
    char name[64];
    for (long i = 0; i < count; ++i) {
        text += "--" + b + "\r\n";
        if (i % 2 == 0) {
            text +=
                "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: "
                "quoted-printable\r\n\r\n";
            text += "Part " + std::to_string(i) + " caf=E9 cr=C3=A8me, a soft break =\r\ncontinues here.\r\n";
        } else {
            std::snprintf(name, sizeof name, "file%05ld.bin", i);
            text += std::string("Content-Type: application/octet-stream; name=\"") + name +
                    "\"\r\nContent-Disposition: attachment; filename=\"" + name +
                    "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
            AppendBase64Lines(text, 300, rng);
        }
    }
    return text + "--" + b + "--\r\n";
}

std::string OrdinaryMessage(long id, Bytes& rng) {
    const std::string b = "----=_Part_" + std::to_string(id) + "_" + std::to_string(rng.Next());
    const std::string a = "----=_Alt_" + std::to_string(id);
    std::string text = Headers(id, "multipart/mixed; boundary=\"" + b + "\"");
    text += "This is a multi-part message in MIME format.\r\n\r\n--" + b + "\r\n";
    text += "Content-Type: multipart/alternative; boundary=\"" + a + "\"\r\n\r\n--" + a + "\r\n";
    text += "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    for (int line = 0; line < 20; ++line)
        text += "Line " + std::to_string(line) +
                " of the message text, with an accent: caf=C3=A9 and a soft =\r\nbreak.\r\n";
    text +=
        "--" + a +
        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    for (int line = 0; line < 20; ++line)
        text += "<p>Line " + std::to_string(line) +
                " of the message text, caf=C3=A9 and <b>bold</b> words.</p>\r\n";
    text += "--" + a + "--\r\n\r\n";
    if (id % 4 == 0) {
        text += "--" + b +
                "\r\nContent-Type: image/png; name=\"logo.png\"\r\n"
                "Content-Disposition: attachment; filename=\"logo.png\"\r\nContent-Transfer-Encoding: "
                "base64\r\n\r\n";
        AppendBase64Lines(text, 4096, rng);
    }
    return text + "--" + b + "--\r\n";
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Report(const char* label, const Totals& t) {
    const double mb = t.inputBytes / (1024.0 * 1024.0);
    std::printf(
        "%s: %ld messages, %ld parts, %.1f MB in, %.1f MB decoded, %.3f s (split %.3f, parse %.3f, "
        "decode %.3f), %.1f MB/s, peak %.1f MB\n",
        label, t.messages, t.parts, mb, t.decodedBytes / (1024.0 * 1024.0), t.seconds, t.splitSeconds,
        t.parseSeconds, t.seconds - t.splitSeconds - t.parseSeconds, t.seconds > 0 ? mb / t.seconds : 0.0,
        PeakKilobytes() / 1024.0);
}

// The synthetic input of kind, processed once.
bool RunSynthetic(const std::string& kind, long count, Totals& totals) {
    if (kind == "attachment") {
        Process(AttachmentMessage(static_cast<size_t>(count)), totals);
    } else if (kind == "parts") {
        Process(ManyPartsMessage(count), totals);
    } else if (kind == "messages") {
        Bytes rng;
        for (long i = 0; i < count; ++i) Process(OrdinaryMessage(i, rng), totals);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s FILE|DIR... | --synthetic attachment|parts|messages [COUNT [REPEAT]]\n",
                     argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "--synthetic") == 0 && argc >= 3) {
        const std::string kind = argv[2];
        const long count = argc >= 4 ? std::atol(argv[3]) : (kind == "attachment" ? 50 : 10000);
        const int repeat = argc >= 5 ? std::max(1, std::atoi(argv[4])) : 1;
        // Fresh memory costs vary from run to run: with repeats, the median run is reported.
        std::vector<Totals> runs(static_cast<size_t>(repeat));
        for (Totals& run : runs) {
            if (!RunSynthetic(kind, count, run)) {
                std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
                return 2;
            }
        }
        std::sort(runs.begin(), runs.end(), [](const Totals& a, const Totals& b) { return a.seconds < b.seconds; });
        std::string label = "synthetic " + kind + " " + std::to_string(count);
        if (repeat > 1) label += " (median of " + std::to_string(repeat) + ")";
        Report(label.c_str(), runs[runs.size() / 2]);
        return 0;
    }
    Totals totals;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error))
                if (entry.is_regular_file()) Process(ReadFile(entry.path()), totals);
        } else {
            Process(ReadFile(path), totals);
        }
    }
    Report("files", totals);
    return 0;
}
