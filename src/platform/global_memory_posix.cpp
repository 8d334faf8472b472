#include <cstdlib>

#include "platform/global_memory.h"

void* AllocRecordBlock(size_t size) {
    if (size == 0) return nullptr;
    return std::calloc(1, size);
}

bool FreeRecordBlock(void* block) {
    if (!block) return false;
    std::free(block);
    return true;
}
