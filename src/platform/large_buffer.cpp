#include "platform/large_buffer.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
// Below this a buffer holds at most a few large pages: not worth a system call.
constexpr size_t kLargeBuffer = 4u << 20;
}  // namespace

void AdviseLargeBuffer(void* data, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (data == nullptr || size < kLargeBuffer) return;
    constexpr uintptr_t kPage = 4096;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kPage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}
