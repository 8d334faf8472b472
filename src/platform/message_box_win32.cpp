#include <windows.h>

#include "platform/message_box.h"

namespace {
// The class library's message box titles itself with the application's name, which for a
// module without one is its file name.
void DefaultHandler(const char* text, unsigned style, unsigned) {
    ::MessageBoxA(nullptr, text ? text : "", "ZQ_VORUDozOzad", style);
}
MessageBoxHandler g_handler = &DefaultHandler;
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler = handler ? handler : &DefaultHandler; }

int ShowMessageBox(const char* text, unsigned style, unsigned helpContext) {
    g_handler(text, style, helpContext);
    return IDOK;
}
