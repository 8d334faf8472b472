// Cost of reading a large UID SEARCH answer, without the network: the answer is split into
// lines as the client splits every answer, and its numbers are read into the UID list.
//   bench_search [UIDS [REPEAT]]   default 200,000 UIDs; prints the median of REPEAT runs
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imap/imap_response_parse.h"
#include "platform/line_array.h"

int main(int argc, char** argv) {
    const int count = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 200000;
    const int repeat = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string answer = "* SEARCH";
    for (int uid = 1; uid <= count; ++uid) {
        answer += ' ';
        answer += std::to_string(uid * 3);
    }
    answer += "\r\nAEG5 OK Search completed.\r\n";

    std::vector<double> runs;
    for (int run = 0; run < repeat; ++run) {
        std::string text = answer;
        const auto start = std::chrono::steady_clock::now();
        LineArray lines;
        lines.AppendLines(std::move(text));
        lines.RemoveAt(lines.GetUpperBound());  // the tagged status line, as the client drops it
        std::vector<uint32_t> uids;
        uids.reserve(1 << 16);
        const bool ok = ParseSearchUids(lines[0], uids);
        runs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (!ok || uids.size() != static_cast<size_t>(count) ||
            uids.back() != static_cast<uint32_t>(count) * 3) {
            std::printf("wrong answer: %zu UIDs\n", uids.size());
            return 1;
        }
    }
    std::sort(runs.begin(), runs.end());
    std::printf("SEARCH answer of %d UIDs (%.1f MB): split and read in %.2f ms (median of %d)\n", count,
                static_cast<double>(answer.size()) / (1024.0 * 1024.0), runs[runs.size() / 2], repeat);
    return 0;
}
