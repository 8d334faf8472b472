// SMTP transparency: on the wire every line of the message text that begins with "." carries
// one more "." in front, except the final terminator line.
#pragma once

#include <string>
#include <string_view>

namespace smtp {

// text ends with the terminator line ".\r\n", which is left as it is. Lines begin at the
// start of the text and after every LF.
std::string DotStuffed(std::string_view text);

}  // namespace smtp
