#include "smtp/dot_stuffing.h"

namespace smtp {

std::string DotStuffed(std::string_view text) {
    constexpr std::string_view kTerminator = ".\r\n";
    std::string_view body = text;
    const bool terminated =
        body.size() >= kTerminator.size() && body.substr(body.size() - kTerminator.size()) == kTerminator &&
        (body.size() == kTerminator.size() || body[body.size() - kTerminator.size() - 1] == '\n');
    if (terminated) body.remove_suffix(kTerminator.size());

    std::string wire;
    wire.reserve(text.size() + text.size() / 64 + 1);
    bool lineStart = true;
    size_t done = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (lineStart && body[i] == '.') {
            wire.append(body.substr(done, i - done));
            wire += '.';
            done = i;
        }
        lineStart = body[i] == '\n';
    }
    wire.append(body.substr(done));
    if (terminated) wire.append(kTerminator);
    return wire;
}

}  // namespace smtp
