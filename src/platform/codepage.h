// The ANSI code page of the module: Windows-1252, the code page the host's texts are in.
#pragma once

#include <cstdint>
#include <string>

namespace codepage {

// The byte that stands for a character the code page cannot hold.
inline constexpr char kDefaultChar = '?';

// Converts 16-bit units to Windows-1252 the way the system conversion does with the composite
// check and the non-spacing discard: a letter followed by a combining mark becomes the
// precomposed letter when the code page has it, otherwise the mark is dropped; a character the
// code page cannot hold becomes kDefaultChar. Appends to out; returns the number of bytes added.
int WideToAnsi(const uint16_t* units, int count, std::string& out);

// The Windows-1252 byte of one character, or -1 when the code page has none.
int AnsiByteOf(uint16_t unit);

}  // namespace codepage
