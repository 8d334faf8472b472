// The benchmark's work done with mimetic: parse each message file (memory-mapped), then decode
// every leaf part's body (base64 or quoted-printable undone, others as they stand) into a
// counting sink.
//   mimetic_driver FILE|DIR...   prints messages, leaf parts and decoded bytes
#include <mimetic/mimetic.h>
#include <mimetic/os/file.h>

#include <cstdio>
#include <filesystem>
#include <iterator>

namespace {

long messages = 0;
long leaves = 0;
long long decoded = 0;

// An output iterator that only counts what is written through it.
struct Counter {
    using iterator_category = std::output_iterator_tag;
    using value_type = void;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = void;
    long long* count;
    Counter& operator=(char) {
        ++*count;
        return *this;
    }
    Counter& operator*() { return *this; }
    Counter& operator++() { return *this; }
    Counter operator++(int) { return *this; }
};

void DecodeLeaves(const mimetic::MimeEntity& entity) {
    const mimetic::MimeEntityList& parts = entity.body().parts();
    if (!parts.empty()) {
        for (const mimetic::MimeEntity* part : parts) DecodeLeaves(*part);
        return;
    }
    ++leaves;
    const mimetic::Body& body = entity.body();
    const std::string& encoding = entity.header().contentTransferEncoding().mechanism();
    if (encoding == "base64") {
        mimetic::Base64::Decoder decoder;
        mimetic::decode(body.begin(), body.end(), decoder, Counter{&decoded});
    } else if (encoding == "quoted-printable") {
        mimetic::QP::Decoder decoder;
        mimetic::decode(body.begin(), body.end(), decoder, Counter{&decoded});
    } else {
        decoded += static_cast<long long>(body.size());
    }
}

void ProcessFile(const std::string& path) {
    mimetic::File file(path);
    if (!file) return;
    mimetic::MimeEntity entity;
    entity.load(file.begin(), file.end());
    DecodeLeaves(entity);
    ++messages;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) ProcessFile(entry.path().string());
        } else {
            ProcessFile(path.string());
        }
    }
    std::printf("mimetic: %ld messages, %ld leaf parts, %lld bytes decoded\n", messages, leaves, decoded);
    return 0;
}
