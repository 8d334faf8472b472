// Hostile answers to the client's response readers: every reader over the same bytes, as a
// whole response and line by line. Nothing may read or write outside its text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imap/imap_client.h"
#include "imap/imap_response_parse.h"
#include "net/socket_connection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Responses reach the client as text: a NUL ends what is taken.
    const CString response(text.c_str());

    static ImapClient client;
    client.Disconnect();
    client.NextTag();
    LineArray lines;
    client.SplitResponseLines(response, lines);
    client.IsTaggedOk(response);

    int32_t count = 0;
    ParseExistsCount(lines, count);
    CString name;
    for (const std::string_view line : lines) ParseListName(CString(line), name);
    std::vector<uint32_t> uids;
    if (!lines.IsEmpty()) ParseSearchUids(lines[0], uids);
    uint32_t uid = 0;
    ParseFetchUid(response.view(), uid);
    ParseMessageSize(response.view());
    TailEndsWithTerminatorLine(response.view(), "AEG1");
    TailEndsWithTerminatorLine(response.view(), "");
    return 0;
}
