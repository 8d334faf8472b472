#include "smtp/body_wrap.h"

namespace smtp {
namespace {

// Wraps one piece. The last space found is remembered: while it still lies beyond the next
// search start it is the answer, so a long line is scanned once, not once per break.
void WrapPiece(std::string_view piece, std::string& out) {
    const size_t limit = kWrapLimit;
    const size_t searchStart = kWrapSearchStart;
    size_t start = 0;
    size_t space = std::string_view::npos;
    while (start < piece.size()) {
        if (space == std::string_view::npos || space < start + searchStart) {
            space = piece.find(' ', start + searchStart);
        }
        if (space == std::string_view::npos) {
            out.append(piece.substr(start));
            out += "\r\n";
            return;
        }
        if (space - start > limit) {
            out.append(piece.substr(start, limit));
            out += "\r\n";
            start += limit;
        } else {
            out.append(piece.substr(start, space - start));
            out += "\r\n";
            start = space + 1;
        }
    }
}

}  // namespace

void AppendWrappedBody(std::string_view body, std::string& out) {
    std::string work;
    work.reserve(body.size());
    for (char ch : body)
        if (ch != '\r') work += ch;
    out.reserve(out.size() + work.size() + work.size() / 16 + 2);

    std::string piece;
    std::string_view rest(work);
    while (!rest.empty()) {
        const size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            WrapPiece(rest, out);
            return;
        }
        const std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf + 1);
        if (line.size() <= static_cast<size_t>(kWrapLimit)) {
            out.append(line);
            out += "\r\n";
        } else {
            piece.assign(line);
            piece += ' ';  // the line end becomes a space, which forces the break at 65
            WrapPiece(piece, out);
        }
    }
}

}  // namespace smtp
