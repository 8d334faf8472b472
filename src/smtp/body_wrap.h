// Line-end normalisation and the 65-character wrap of an outgoing text body.
#pragma once

#include <string>
#include <string_view>

namespace smtp {

constexpr int kWrapLimit = 65;
constexpr int kWrapSearchStart = 55;

// Appends body with CRs dropped and every line ended by CR LF. A line longer than 65
// characters gains a space in place of its line end and is broken at the first space from
// index 55 on (the space is dropped), or at index 65 when that space lies further on; a piece
// without a space from index 55 on goes out whole. A last line without a line end gains no
// space. Does not write the final empty line.
void AppendWrappedBody(std::string_view body, std::string& out);

}  // namespace smtp
