#include <algorithm>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/mime_types.h"

namespace mime_types {
namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; }

// Splits one line into blank-separated words, stopping at a comment.
template <typename Visit>
void ForEachWord(std::string_view line, Visit visit) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') return;
        size_t end = i;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        visit(line.substr(i, end - i));
        i = end;
    }
}

}  // namespace

bool ReadTable(const char* path, std::vector<Pair>& pairs) {
    pairs.clear();
    std::string text;
    // The table is read-only for everyone: read it plainly, not under the attachment rules.
    if (!files::ReadPlainFile(path, text)) return false;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t eol = rest.find('\n');
        const std::string_view line = rest.substr(0, eol);
        rest = (eol == std::string_view::npos) ? std::string_view() : rest.substr(eol + 1);
        CString type;
        ForEachWord(line, [&](std::string_view word) {
            if (type.IsEmpty()) {
                type = CString(word);
                return;
            }
            CString extension = CString(".") + CString(word);
            extension.MakeLower();
            pairs.push_back(Pair{type, std::move(extension)});
        });
    }
    // The lookup takes the first entry whose extension contains the one asked for: with the
    // shortest extensions first (then by text) that is the exact extension whenever the table
    // has it. One entry per extension, its first type in file order.
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        if (a.extension.GetLength() != b.extension.GetLength()) return a.extension.GetLength() < b.extension.GetLength();
        return a.extension.str() < b.extension.str();
    });
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const Pair& a, const Pair& b) { return a.extension.str() == b.extension.str(); }),
                pairs.end());
    return true;
}

}  // namespace mime_types
