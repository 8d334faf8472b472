// The host's records are i386 layouts (4-byte pointers). The shipped builds, i386 ELF and the
// i686 DLL, pin them at compile time; the 64-bit Windows build that runs the same sources
// under the emulator for tests has wider records and skips the checks.
#pragma once

#if defined(_WIN64)
#define ZQ_LAYOUT32(...) static_assert(true)
#else
#define ZQ_LAYOUT32(...) static_assert(__VA_ARGS__)
#endif
