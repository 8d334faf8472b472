// Fixed, zero-filled blocks handed to the host; released whole. On Linux these come from
// the C heap, so a host releases a single record with free().
#pragma once

#include <cstddef>

void* AllocRecordBlock(size_t size);
bool FreeRecordBlock(void* block);
