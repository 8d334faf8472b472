// The module's message box. The default handler writes the text to standard error; a host
// kit or a test can put its own in place.
#pragma once

constexpr unsigned kMessageBoxIconInformation = 64;

using MessageBoxHandler = void (*)(const char* text, unsigned style, unsigned helpContext);

void SetMessageBoxHandler(MessageBoxHandler handler);  // null restores the default
int ShowMessageBox(const char* text, unsigned style, unsigned helpContext = 0);
