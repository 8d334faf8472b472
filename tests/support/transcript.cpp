#include "transcript.h"

#include <stdexcept>
#include <string>

namespace scripted {
namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    return first == text.npos ? std::string_view()
                              : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// " | " separates the lines of a reply; each ends with CR LF unless the reply ends in '$'.
std::string Reply(std::string_view text) {
    const bool open = !text.empty() && text.back() == '$';
    if (open) text.remove_suffix(1);
    std::string bytes;
    for (size_t bar; (bar = text.find(" | ")) != std::string_view::npos; text.remove_prefix(bar + 3))
        bytes.append(text.substr(0, bar)).append("\r\n");
    bytes.append(text);
    return open ? bytes : bytes + "\r\n";
}

}  // namespace

void Play(Server& server, std::string_view transcript) {
    while (!transcript.empty()) {
        const size_t end = transcript.find('\n');
        std::string_view line = transcript.substr(0, end);
        line = Trimmed(line.substr(0, line.find("  # ")));
        transcript.remove_prefix(end == std::string_view::npos ? transcript.size() : end + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '!') {
            const std::string_view step = line.substr(1);
            if (step == "close")
                server.Close();
            else if (step == "reset")
                server.Reset();
            else if (step == "accept")
                server.Accept();
            else if (step == "expect-close")
                server.ExpectClose();
            else if (step.rfind("delay ", 0) == 0)
                server.Delay(Ms(std::stoi(std::string(step.substr(6)))));
            else
                throw std::invalid_argument("unknown transcript step: " + std::string(line));
        } else if (line[0] == '<') {
            server.Send(Reply(Trimmed(line.substr(1))));
        } else {
            const size_t arrow = line.find(" =>");
            if (arrow == std::string_view::npos)
                throw std::invalid_argument("no \" =>\" in: " + std::string(line));
            server.Expect(std::string(line.substr(0, arrow)) + "\r\n");
            const std::string_view reply = Trimmed(line.substr(arrow + 3));
            if (!reply.empty()) server.Send(Reply(reply));
        }
    }
}

}  // namespace scripted
