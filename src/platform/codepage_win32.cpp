#include <windows.h>

#include <vector>

#include "platform/codepage.h"

namespace codepage {

// The system conversion to the ANSI code page, with the composite check and the non-spacing
// discard (0x210), and the code page's own default character. One byte per unit suffices for
// the single-byte code pages; a double-byte one gets room for two.
int WideToAnsi(const uint16_t* units, int count, std::string& out) {
    if (!units || count <= 0) return 0;
    std::vector<char> bytes(static_cast<size_t>(count) * 2);
    const int n = ::WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DISCARDNS,
                                        reinterpret_cast<const wchar_t*>(units), count, bytes.data(),
                                        static_cast<int>(bytes.size()), nullptr, nullptr);
    out.append(bytes.data(), static_cast<size_t>(n > 0 ? n : 0));
    return n > 0 ? n : 0;
}

int AnsiByteOf(uint16_t unit) {
    const wchar_t wide = static_cast<wchar_t>(unit);
    char bytes[2];
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, &wide, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    if (n != 1 || usedDefault) return -1;
    return static_cast<unsigned char>(bytes[0]);
}

}  // namespace codepage
