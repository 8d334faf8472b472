#include "imap/imap_response_parse.h"

#include "imap/imap_text.h"
#include "mime/text_match.h"

bool ParseExistsCount(const LineArray& lines, int32_t& count) {
    for (const std::string_view text : lines) {
        if (!ContainsNoCase("exists", text)) continue;
        const CString line(text);
        // "* 23 EXISTS"
        const int first = line.Find(' ');
        const int second = line.Find(' ', first + 1);
        count = LeadingDecimal(line.Mid(first + 1, second - first - 1).view());
        return true;
    }
    return false;
}

bool ParseListName(const CString& line, CString& name) {
    const int open = line.Find('"');
    const int close = open < 0 ? -1 : line.Find('"', open + 1);
    if (close < 0 || ContainsNoCase("noselect", line.view())) return false;
    // After the quoted delimiter comes the name, quoted or not.
    name = line.Mid(close + 1);
    name.Remove('"');
    name.TrimLeft();
    return true;
}

bool ParseSearchUids(std::string_view line, std::vector<uint32_t>& uids) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) return false;
    std::string_view numbers = line.substr(second + 1);
    while (!numbers.empty()) {
        const size_t space = numbers.find(' ');
        uids.push_back(static_cast<uint32_t>(LeadingDecimal(numbers.substr(0, space))));
        // The token and the one character after it are dropped.
        numbers = space == std::string_view::npos ? std::string_view() : numbers.substr(space + 1);
    }
    return true;
}

namespace {
// Position of `needle` (lower case) in `text`, letters of the text folded; npos when absent.
size_t FindLower(std::string_view text, std::string_view needle, size_t from = 0) {
    if (needle.empty() || text.size() < needle.size()) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && AsciiLower(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}
}  // namespace

bool ParseFetchUid(std::string_view response, uint32_t& uid) {
    const size_t at = FindLower(response, "uid");
    const size_t space = at == std::string_view::npos ? at : response.find(' ', at);
    const size_t close = space == std::string_view::npos ? space : response.find(')', space);
    if (close == std::string_view::npos) return false;
    uid = static_cast<uint32_t>(LeadingDecimal(response.substr(space, close - space)));
    return true;
}

uint32_t ParseMessageSize(std::string_view response) {
    // "* 4 FETCH (UID 9 RFC822.SIZE 2217)"
    const size_t open = response.find('(');
    const size_t close = open == std::string_view::npos ? open : response.find(')', open);
    if (close == std::string_view::npos) return 0;
    const std::string_view inside = response.substr(open + 1, close - open - 1);
    const size_t space = inside.rfind(' ');
    if (space == std::string_view::npos) return 0;
    return static_cast<uint32_t>(LeadingDecimal(inside.substr(space + 1)));
}
