// UTF-8 header text to the ANSI code page.
#pragma once

#include "platform/cstring.h"

// Converts text in place, one 16-bit unit per character (code points above 0xFFFF keep their low
// 16 bits); what the code page cannot hold becomes "?". Malformed sequences give the units the
// bits add up to; the text ends at the first zero unit.
void Utf8ToAnsi(CString& text);
