// Base64 decoding of attachment data, text bodies and "B" encoded words.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/cstring.h"

// Decodes text into a new block owned by the caller: the decoded bytes, then zeros to its end
// (at least one); length receives the number of bytes decoded. Characters outside the alphabet are skipped;
// "=" or "}" ends the data. Always 0.
int32_t Base64Decode(const CString& text, std::unique_ptr<unsigned char[]>& bytes, int32_t& length);

// Decodes into a text that ends at the first zero byte of the data. Always 0.
int32_t Base64DecodeText(const CString& text, CString& result);
