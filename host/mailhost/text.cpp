#include "text.h"

#include <cstddef>
#include <cstdio>

#include "system.h"

namespace {

// Windows-1252 0x80-0x9F; the five unassigned bytes map to the C1 controls as the code page does.
const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                            0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// Length of the valid UTF-8 sequence at p (1 to 4), 0 when it is not one.
size_t SequenceLength(const unsigned char* p, const unsigned char* end) {
    if (p[0] < 0x80) return 1;
    const size_t n = p[0] >= 0xF0 && p[0] < 0xF5 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC2 && p[0] < 0xE0 ? 2 : 0;
    if (n == 0 || end - p < static_cast<ptrdiff_t>(n)) return 0;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return n;
}

bool IsUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const size_t n = SequenceLength(p, end);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

std::string DateText(const std::tm& parts, const char* format) {
    char buffer[64];
    return std::strftime(buffer, sizeof buffer, format, &parts) ? buffer : "";
}

}  // namespace

std::string Utf8FromHost(const char* text) {
    std::string in = text ? text : "";
    if (IsUtf8(in)) return in;
    std::string out;
    for (const char c : in) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b < 0x80 ? b : b < 0xA0 ? kHigh[b - 0x80] : b);
    }
    return out;
}

std::string HostFromUtf8(const std::string& utf8) {
    if (!IsUtf8(utf8)) return utf8;
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const size_t n = SequenceLength(p, end);
        char32_t u = n == 1 ? p[0] : p[0] & (0x7F >> n);
        for (size_t i = 1; i < n; ++i) u = (u << 6) | (p[i] & 0x3F);
        p += n;
        if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
            out += static_cast<char>(u);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u) mapped = static_cast<char>(0x80 + i);
        out += mapped;
    }
    return out;
}

size_t DisplayWidth(const std::string& utf8) {
    size_t width = 0;
    for (const char c : utf8) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::string Clip(const std::string& utf8, size_t width) {
    if (DisplayWidth(utf8) <= width) return utf8;
    std::string out;
    size_t kept = 0;
    for (const char c : utf8) {
        const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++kept > width - 1) break;
        out += c;
    }
    return out + "\xE2\x80\xA6";  // an ellipsis
}

std::string FormatSize(uint64_t bytes) {
    char buffer[32];
    if (bytes < 1024) {
        std::snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(buffer, sizeof buffer, "%.1f KB", bytes / 1024.0);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.1f MB", bytes / (1024.0 * 1024.0));
    }
    return buffer;
}

std::string LocalDateText(int64_t seconds) {
    return seconds == 0 ? "-"
                        : DateText(hostos::LocalTime(static_cast<std::time_t>(seconds)), "%Y-%m-%d %H:%M");
}

std::string IsoUtcText(int64_t seconds) {
    return DateText(hostos::UtcTime(static_cast<std::time_t>(seconds)), "%Y-%m-%dT%H:%M:%SZ");
}

std::string SafeFileName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return out.empty() || out == "." || out == ".." ? "_" : out;
}

std::string SenderName(const std::string& from) {
    const size_t open = from.find('<');
    std::string name = open == std::string::npos ? "" : from.substr(0, open);
    name.erase(0, name.find_first_not_of(" \t\""));
    name.erase(name.find_last_not_of(" \t\"") + 1);
    if (!name.empty()) return name;
    if (open == std::string::npos) return from;
    return from.substr(open + 1, from.find('>', open) - open - 1);
}
