#include <windows.h>

#include "platform/global_memory.h"

// GMEM_FIXED | GMEM_ZEROINIT: a fixed, zero-filled block of the global heap, whose address is
// its handle, so the host can release a record with GlobalFree.
void* AllocRecordBlock(size_t size) {
    if (size == 0) return nullptr;
    return ::GlobalAlloc(0x0040, size);
}

bool FreeRecordBlock(void* block) {
    if (!block) return false;
    return ::GlobalFree(block) == nullptr;
}
