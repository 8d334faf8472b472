// Writes the MIME benchmark's reference inputs to DIR, the same bytes on every run:
//   attachment-50.eml  one message with a 50 MB base64 attachment
//   attachment-5.eml   the same with 5 MB
//   parts-10000.eml    one message of 10,000 small quoted-printable parts
//   qp-20.eml          one message with a 20 MB quoted-printable body
//   messages-10000/    10,000 ordinary messages of 2 to 6 KB, one per file
// Files already there with the right size are kept.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "../mime_inputs.h"

namespace {

bool Write(const std::filesystem::path& path, const std::string& text) {
    std::error_code error;
    if (std::filesystem::file_size(path, error) == text.size() && !error) return true;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    using namespace mime_inputs;
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir / "messages-10000");
    bool ok = Write(dir / "attachment-50.eml", AttachmentMessage(50)) &&
              Write(dir / "attachment-5.eml", AttachmentMessage(5)) &&
              Write(dir / "parts-10000.eml", ManyPartsMessage(10000)) &&
              Write(dir / "qp-20.eml", QuotedPrintableMessage(20));
    Bytes rng;
    char name[32];
    for (long i = 0; ok && i < 10000; ++i) {
        std::snprintf(name, sizeof name, "%05ld.eml", i);
        ok = Write(dir / "messages-10000" / name, OrdinaryMessage(i, rng));
    }
    if (!ok) std::fprintf(stderr, "cannot write the inputs to %s\n", argv[1]);
    return ok ? 0 : 1;
}
