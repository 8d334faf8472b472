#include "hostkit.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

namespace {

struct StoredCall {
    std::string library, function, text;
    HostKitCall view{};
};

// A deque keeps the addresses of earlier entries stable while calls are appended.
std::deque<StoredCall>& Journal() {
    static std::deque<StoredCall> journal;
    return journal;
}

bool g_echoLog = false;

}  // namespace

extern "C" int HostKit_CallCount(void) { return static_cast<int>(Journal().size()); }

extern "C" const HostKitCall* HostKit_Call(int index) {
    if (index < 0 || index >= HostKit_CallCount()) return nullptr;
    return &Journal()[static_cast<size_t>(index)].view;
}

extern "C" void HostKit_Clear(void) { Journal().clear(); }

extern "C" void HostKit_EchoLog(int on) { g_echoLog = on != 0; }

extern "C" void HostKit_Record(const char* library, const char* function, const char* text, long number1,
                               long number2, const void* pointer1, const void* pointer2) {
    StoredCall& call = Journal().emplace_back();
    call.library = library ? library : "";
    call.function = function ? function : "";
    call.text = text ? text : "";
    call.view = HostKitCall{call.library.c_str(), call.function.c_str(), call.text.c_str(),
                            number1, number2, pointer1, pointer2};
    if (g_echoLog && call.function == "MLOGAdd") std::fprintf(stderr, "[log] %s\n", call.text.c_str());
    if (const char* path = std::getenv("HOSTKIT_JOURNAL")) {
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s.%s(%s, %ld, %ld)\n", call.library.c_str(), call.function.c_str(),
                         call.text.c_str(), number1, number2);
            std::fclose(file);
        }
    }
}
