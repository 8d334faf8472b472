#include <cstdio>

#include "platform/message_box.h"

namespace {
void DefaultHandler(const char* text, unsigned, unsigned) { std::fprintf(stderr, "%s\n", text ? text : ""); }
MessageBoxHandler g_handler = &DefaultHandler;
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler = handler ? handler : &DefaultHandler; }

int ShowMessageBox(const char* text, unsigned style, unsigned helpContext) {
    g_handler(text, style, helpContext);
    return 1;  // IDOK
}
