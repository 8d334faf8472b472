// Cost of composing an outgoing message: a text body of up to 5 MB (long lines wrapped, LF
// line ends normalised) and an attachment of up to 50 MB (read, base64-encoded), then the
// dot-stuffed copy that goes on the wire. The sizes are doubled from an eighth to the full
// size; time per megabyte and peak memory per megabyte must stay flat for the cost to be linear.
//   bench_compose            prints a table; exits 1 when a doubling costs clearly more than twice
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "smtp/dot_stuffing.h"
#include "smtp/message_composer.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

// Paragraph lines with spaces, lines of one long word, short lines, lines starting with ".".
std::string MakeBody(size_t size) {
    std::string body;
    body.reserve(size + 256);
    const std::string words = "The quick brown fox jumps over the lazy dog near the river bank ";
    size_t line = 0;
    while (body.size() < size) {
        switch (line++ % 4) {
            case 0:
                for (int i = 0; i < 5; ++i) body += words;
                break;
            case 1:
                body += std::string(300, 'x');
                break;
            case 2:
                body += ".short";
                break;
            default:
                body += "mid length line\r";
                break;
        }
        body += '\n';
    }
    return body;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main() {
    const std::string path = files::TempDirectory().str() + "zq-bench-compose.bin";
    std::string previousLine;
    double previousSeconds = 0;
    bool linear = true;
    std::printf("%10s %10s %12s %10s %12s %14s\n", "body MB", "file MB", "text MB", "seconds", "ms per MB",
                "peak RSS MB");
    for (size_t eighths = 1; eighths <= 8; eighths *= 2) {
        const size_t bodySize = 5 * kMiB * eighths / 8;
        const size_t fileSize = 50 * kMiB * eighths / 8;
        {
            std::string bytes(fileSize, '\0');
            for (size_t i = 0; i < fileSize; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
            if (!files::WriteNew(path.c_str(), bytes.data(), bytes.size())) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 2;
            }
        }
        CMsg message;
        message.m_strFrom = "alice@example.test";
        message.m_strTo = "bob@example.test; carol@example.test";
        message.m_strSubject = "Large message";
        message.m_strBody = MakeBody(bodySize);
        message.m_strAttachments = path.c_str();
        ContentTypeTable table;
        smtp::Composition with;
        with.includeAttachments = true;
        with.time = 1078391107;
        with.contentTypes = &table;

        const auto start = std::chrono::steady_clock::now();
        CString text;
        smtp::ComposeHeaders(message, with, text);
        smtp::ComposeBody(message, with, text);
        smtp::ComposeAttachments(message, with, text);
        text += "\r\n.\r\n";
        const std::string wire = smtp::DotStuffed(text.view());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        const double inputMb = static_cast<double>(bodySize + fileSize) / kMiB;
        std::printf("%10.2f %10.2f %12.2f %10.3f %12.2f %14.1f\n", static_cast<double>(bodySize) / kMiB,
                    static_cast<double>(fileSize) / kMiB, static_cast<double>(wire.size()) / kMiB, seconds,
                    seconds * 1000 / inputMb, PeakKiB() / 1024.0);
        // Twice the input may take up to three times as long (noise, cache effects) but not four.
        if (previousSeconds > 0.05 && seconds > previousSeconds * 3.0) linear = false;
        previousSeconds = seconds;
    }
    files::Remove(path.c_str());
    std::printf(linear ? "linear: yes\n" : "linear: NO (a doubling cost more than three times)\n");
    return linear ? 0 : 1;
}
