// Reading the host kit's call journal in tests: the texts the module handed to one host
// function, in order.
#pragma once

#include <string>
#include <vector>

#include "hostkit.h"

namespace scripted {

// Texts of the journal's calls to `function` ("MLOGAdd" for the module's log lines) that start
// with `prefix`.
inline std::vector<std::string> JournalTexts(const char* function = "MLOGAdd", const std::string& prefix = "") {
    std::vector<std::string> texts;
    for (int i = 0; i < HostKit_CallCount(); ++i) {
        const HostKitCall* call = HostKit_Call(i);
        if (std::string(call->function) == function && std::string(call->text).rfind(prefix, 0) == 0)
            texts.push_back(call->text);
    }
    return texts;
}

}  // namespace scripted
