// Recipient lists as the host may hand them over: both readings of the list, and the address
// extraction of one item. Every command must keep its fixed frame, and nothing may read or
// write outside the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "smtp/address_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host's texts end at their first NUL.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes.resize(std::strlen(bytes.c_str()));
    size = bytes.size();
    const CString list(bytes);

    const CString header = smtp::FormatHeaderList(list);
    // Each item grows by at most its brackets and a ", " separator.
    if (static_cast<size_t>(header.GetLength()) > 4 * size + 4) std::abort();

    const CStringArray commands = smtp::RecipientCommands(list);
    for (const CString& command : commands) {
        const std::string& text = command.str();
        if (text.rfind("RCPT TO: <", 0) != 0 || text.size() < 14 ||
            text.compare(text.size() - 3, 3, ">\r\n") != 0)
            std::abort();
    }
    // Each command takes at least one address byte and a separator from the next one.
    if (static_cast<size_t>(commands.GetSize()) > (size + 1) / 2) std::abort();

    const CString address = smtp::ExtractAddress(list);
    if (static_cast<size_t>(address.GetLength()) > size) std::abort();
    const CString unquoted = smtp::Unquote(list);
    if (static_cast<size_t>(unquoted.GetLength()) > size) std::abort();
    return 0;
}
