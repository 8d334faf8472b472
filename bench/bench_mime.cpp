// MIME download benchmark: for each message, what a download does to it: split the text into
// lines as the IMAP engine does, parse it, and decode every leaf part's content (base64 a piece
// at a time, as attachments are decoded into their files).
//
//   bench_mime FILE|DIR...              message files with CR LF line ends (bare LF is accepted)
//   bench_mime --synthetic KIND [COUNT [REPEAT]]  generated input (bench/mime_inputs.h), KIND one of
//        attachment  one message with a base64 attachment of COUNT MB (default 50)
//        qp          one message with a quoted-printable body of COUNT MB (default 20)
//        parts       one message of COUNT small quoted-printable parts (default 10000)
//        messages    COUNT ordinary messages (default 10000)
//
// Prints messages, parts, input and decoded bytes, elapsed time, MB/s and peak memory; with
// REPEAT, the generated input is processed that many times and the median run is printed.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mime/base64_decode.h"
#include "mime/mime_parser.h"
#include "mime/text_match.h"
#include "mime_inputs.h"
#include "platform/line_array.h"

namespace {

using namespace mime_inputs;

struct Totals {
    long messages = 0;
    long parts = 0;
    double inputBytes = 0;
    double decodedBytes = 0;
    double seconds = 0;
    double splitSeconds = 0;
    double parseSeconds = 0;
};

// One download: the response text moves into its line array, as the session does (or, from a
// mapped file, the lines point into the mapping).
void Process(std::string_view mapped, std::string owned, Totals& totals) {
    const auto start = std::chrono::steady_clock::now();
    totals.inputBytes += static_cast<double>(mapped.empty() ? owned.size() : mapped.size());
    std::vector<MimePart> parts;
    auto split = start;
    {
        LineArray lines;
        if (mapped.empty())
            lines.AppendLines(std::move(owned));
        else
            lines.AppendBorrowedLines(mapped);
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
        if (!part.boundary.IsEmpty()) continue;  // a container: its body is the preamble
        ++totals.parts;
        if (ContainsNoCase("base64", part.transferEncoding.view())) {
            // A piece at a time, as an attachment is decoded into its file.
            totals.decodedBytes += static_cast<double>(
                Base64DecodeTo(part.body.view(), [](const unsigned char*, size_t) { return true; }));
        } else {
            totals.decodedBytes += part.body.GetLength();  // quoted-printable was decoded by the parse
        }
    }
    ++totals.messages;
    totals.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Process(std::string text, Totals& totals) { Process({}, std::move(text), totals); }

// A message file, mapped: the text is in memory the way a downloaded answer is, without a copy
// of the file into new memory. A file with bare LF line ends is converted to CR LF first.
void ProcessFile(const std::filesystem::path& path, Totals& totals) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
        ::close(fd);
        return;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return;
    const std::string_view text(static_cast<const char*>(map), size);
    if (text.find('\r') != std::string_view::npos) {
        Process(text, {}, totals);
    } else {
        std::string crlf;
        crlf.reserve(text.size() + text.size() / 32);
        for (char ch : text) {
            if (ch == '\n') crlf += '\r';
            crlf += ch;
        }
        Process(std::move(crlf), totals);
    }
    ::munmap(map, size);
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Report(const char* label, const Totals& t) {
    const double mb = t.inputBytes / (1024.0 * 1024.0);
    std::printf(
        "%s: %ld messages, %ld leaf parts, %.1f MB in, %.1f MB decoded, %.3f s (split %.3f, parse %.3f, "
        "decode %.3f), %.1f MB/s, peak %.1f MB\n",
        label, t.messages, t.parts, mb, t.decodedBytes / (1024.0 * 1024.0), t.seconds, t.splitSeconds,
        t.parseSeconds, t.seconds - t.splitSeconds - t.parseSeconds, t.seconds > 0 ? mb / t.seconds : 0.0,
        PeakKilobytes() / 1024.0);
}

// The synthetic input of kind, processed once.
bool RunSynthetic(const std::string& kind, long count, Totals& totals) {
    if (kind == "attachment") {
        Process(AttachmentMessage(static_cast<size_t>(count)), totals);
    } else if (kind == "qp") {
        Process(QuotedPrintableMessage(static_cast<size_t>(count)), totals);
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
                     "usage: %s FILE|DIR... | --synthetic attachment|qp|parts|messages [COUNT [REPEAT]]\n",
                     argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "--synthetic") == 0 && argc >= 3) {
        const std::string kind = argv[2];
        const long count = argc >= 4              ? std::atol(argv[3])
                           : kind == "attachment" ? 50
                           : kind == "qp"         ? 20
                                                  : 10000;
        const int repeat = argc >= 5 ? std::max(1, std::atoi(argv[4])) : 1;
        // Fresh memory costs vary from run to run: with repeats, the median run is reported.
        std::vector<Totals> runs(static_cast<size_t>(repeat));
        for (Totals& run : runs) {
            if (!RunSynthetic(kind, count, run)) {
                std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
                return 2;
            }
        }
        std::sort(runs.begin(), runs.end(),
                  [](const Totals& a, const Totals& b) { return a.seconds < b.seconds; });
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
                if (entry.is_regular_file()) ProcessFile(entry.path(), totals);
        } else {
            ProcessFile(path, totals);
        }
    }
    Report("files", totals);
    return 0;
}
