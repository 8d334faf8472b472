// Quoted-printable decoding of bodies and of "Q" encoded words.
#pragma once

#include "platform/cstring.h"

// Decodes text in place. A final "=XY" is cut before decoding, a stray "=" vanishes, CR goes,
// LF stays. Always true.
bool QuotedPrintableDecode(CString& text);
