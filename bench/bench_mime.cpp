// MIME download benchmark: for each message, what a download does to it: split the text into
// lines as the IMAP engine does, parse it, and decode every leaf part's content into memory.
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
#include "platform/large_buffer.h"
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
        if (!part.boundary.IsEmpty()) continue;  // a container: its body is the preamble
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

// The file in one read, into a text sized for it (as a downloaded answer is held).
std::string ReadFile(const std::filesystem::path& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        text.reserve(static_cast<size_t>(st.st_size));
        AdviseLargeBuffer(text.data(), text.capacity());
        text.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        text.resize(done);
    }
    ::close(fd);
    if (text.find('\r') != std::string::npos) return text;
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 32);
    for (char ch : text) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    return crlf;
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
                if (entry.is_regular_file()) Process(ReadFile(entry.path()), totals);
        } else {
            Process(ReadFile(path), totals);
        }
    }
    Report("files", totals);
    return 0;
}
