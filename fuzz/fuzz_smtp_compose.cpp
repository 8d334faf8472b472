// The outgoing text built from hostile message fields: the body wrap, the base64 encoder and
// the wire's dot-stuffing, each checked against an independent reading of its output.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "mime/base64_decode.h"
#include "smtp/attachment_list.h"
#include "smtp/base64_encode.h"
#include "smtp/body_wrap.h"
#include "smtp/dot_stuffing.h"
#include "smtp/message_composer.h"

namespace {

std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char ch : text)
        if (ch != ' ' && ch != '\r' && ch != '\n') out += ch;
    return out;
}

// The wrap only moves line breaks and drops the spaces it breaks at: every line ends with
// CR LF, and the other characters survive in order.
void CheckWrap(const std::string& body) {
    std::string out;
    smtp::AppendWrappedBody(body, out);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\r' && (i + 1 >= out.size() || out[i + 1] != '\n')) std::abort();
        if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r')) std::abort();
    }
    const bool onlyCarriageReturns = body.find_first_not_of('\r') == std::string::npos;
    if (!onlyCarriageReturns && (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0)) std::abort();
    if (WithoutBlanks(out) != WithoutBlanks(body)) std::abort();
}

void CheckBase64(const std::string& bytes) {
    CString text;
    if (!smtp::Base64Encode(bytes.data(), bytes.size(), text)) std::abort();
    if (static_cast<size_t>(text.GetLength()) != smtp::Base64EncodedLength(bytes.size())) std::abort();
    const std::unique_ptr<char[]> buffer = smtp::Base64Encode(bytes.data(), bytes.size());
    if (!buffer || text.str() != buffer.get()) std::abort();
    std::unique_ptr<unsigned char[]> decoded;
    int32_t length = 0;
    Base64Decode(text, decoded, length);
    if (static_cast<size_t>(length) != bytes.size()) std::abort();
    if (length > 0 && std::string(reinterpret_cast<const char*>(decoded.get()), length) != bytes)
        std::abort();
}

// Removing the added period from every line start gives the text back.
void CheckDotStuffing(const std::string& text) {
    const std::string wire = smtp::DotStuffed(text + "\r\n.\r\n");
    if (wire.size() < 5 || wire.compare(wire.size() - 5, 5, "\r\n.\r\n") != 0) std::abort();
    std::string back;
    bool lineStart = true;
    const size_t end = wire.size() - 3;  // the terminator line stays as it is
    for (size_t i = 0; i < end; ++i) {
        if (lineStart && wire[i] == '.') {
            ++i;
            if (i >= end || wire[i] != '.') std::abort();
        }
        back += wire[i];
        lineStart = wire[i] == '\n';
    }
    if (back != text + "\r\n") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host's texts end at their first NUL.
    FuzzedDataProvider input(data, size);
    CMsg message;
    message.m_strTo = input.ConsumeRandomLengthString(256).c_str();
    message.m_strCc = input.ConsumeRandomLengthString(256).c_str();
    message.m_strSubject = input.ConsumeRandomLengthString(256).c_str();
    message.m_strFrom = input.ConsumeRandomLengthString(128).c_str();
    const bool listAttachments = input.ConsumeBool();
    smtp::Composition with;
    with.displayName = input.ConsumeRandomLengthString(64).c_str();
    with.time = input.ConsumeIntegral<int32_t>();
    const std::string raw = input.ConsumeRemainingBytesAsString();
    const std::string body = raw.substr(0, std::strlen(raw.c_str()));
    message.m_strBody = CString(body);
    // Paths that do not exist: the parts are written without content.
    if (listAttachments) message.m_strAttachments = "/nonexistent/a.txt,/nonexistent/dir.d/b";

    CString text;
    smtp::ComposeHeaders(message, with, text);
    smtp::ComposeBody(message, with, text);
    if (text.Find("Mime-Version: 1.0\r\n") < 0) std::abort();

    CheckWrap(body);
    CheckBase64(raw);  // attachment bytes may hold NULs
    CheckDotStuffing(body);
    CStringArray paths;
    CStringArray names;
    smtp::SplitAttachmentList(CString(body), paths, names);
    if (paths.GetSize() != names.GetSize()) std::abort();
    return 0;
}
