// Texts between the module and the terminal: the module speaks the ANSI code page
// (Windows-1252), the terminal and the output files UTF-8. Also sizes, dates and file names
// for display.
#pragma once

#include <cstdint>
#include <string>

// A module text as UTF-8. Header texts come in Windows-1252; bodies come in the message's own
// character set, so a text that already is valid UTF-8 is kept as it is.
std::string Utf8FromHost(const char* text);
// A UTF-8 text in Windows-1252 for the module; characters it cannot hold become '?'. Text
// that is not valid UTF-8 is passed on unchanged.
std::string HostFromUtf8(const std::string& utf8);

// Characters (code points) of a UTF-8 text, and the text cut to at most `width` of them.
size_t DisplayWidth(const std::string& utf8);
std::string Clip(const std::string& utf8, size_t width);

std::string FormatSize(uint64_t bytes);             // "812 B", "12.4 KB", "3.1 MB"
std::string LocalDateText(int64_t seconds);         // "2026-12-03 18:40", "-" for 0
std::string IsoUtcText(int64_t seconds);            // "2026-12-03T17:40:00Z"
std::string SafeFileName(const std::string& name);  // one path component, never "." or ".."
// The name part of "Name <address>" (quotes removed), or the address when there is no name.
std::string SenderName(const std::string& from);
