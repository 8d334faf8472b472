// Base64 decoding of attachment data, text bodies and "B" encoded words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/cstring.h"

// Decodes text into a new block owned by the caller: the decoded bytes, then zeros to its end
// (at least one); length receives the number of bytes decoded. Characters outside the alphabet are skipped;
// "=" or "}" ends the data. Always 0.
int32_t Base64Decode(const CString& text, std::unique_ptr<unsigned char[]>& bytes, int32_t& length);

// Decodes into a text that ends at the first zero byte of the data. Always 0.
int32_t Base64DecodeText(const CString& text, CString& result);

// The bytes of Base64Decode, handed to sink a piece at a time from a buffer of a few dozen KB
// instead of one block the size of the whole: an attachment goes to its file without a copy in
// memory. Stops when sink returns false. Returns the number of bytes handed over.
size_t Base64DecodeTo(std::string_view text, const std::function<bool(const unsigned char*, size_t)>& sink);
