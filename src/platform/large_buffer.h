// Advice to the operating system on buffers of many megabytes (a downloaded message, an
// attachment's data): backed by large pages where the system offers them, a buffer fills
// without one page fault per 4 KB. A hint only; the buffer is usable either way.
#pragma once

#include <cstddef>

void AdviseLargeBuffer(void* data, size_t size);
