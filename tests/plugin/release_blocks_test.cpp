// The release exports give back every heap block they own. Leak checking cannot run under the
// emulator, so the blocks are counted here: this program's malloc family stands before the C
// library's for every module, the loaded plug-in included, and records what is taken and given
// back while a window is open.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>

#include "loaded_plugin.h"
#include "records/cmsg.h"
#include "session/folder_list.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZQ_COUNT_BLOCKS 0  // the sanitizer owns the heap
#else
#define ZQ_COUNT_BLOCKS 1
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
bool g_counting = false;
void* g_live[256];
size_t g_liveCount = 0;

void Track(void* block) {
    if (g_counting && block && g_liveCount < std::size(g_live)) g_live[g_liveCount++] = block;
}
void Untrack(void* block) {
    for (size_t i = 0; block && i < g_liveCount; ++i)
        if (g_live[i] == block) {
            g_live[i] = g_live[--g_liveCount];
            return;
        }
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    Track(block);
    return block;
}
void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    Track(block);
    return block;
}
void* realloc(void* old, size_t size) {
    void* block = __libc_realloc(old, size);
    if (block || size == 0) Untrack(old);
    Track(block);
    return block;
}
void free(void* block) {
    Untrack(block);
    __libc_free(block);
}
}
#endif

TEST(ReleaseExports, GiveBackEveryBlock) {
#if !ZQ_COUNT_BLOCKS
    GTEST_SKIP() << "blocks are counted only without the sanitizers";
#else
    LoadedPlugin plugin;
    auto freeMsgs = plugin.Get<int32_t(MailMsg**, int32_t)>("FreeMailMsg");
    auto freeAttachment = plugin.Get<int32_t(AttachmentList**)>("FreeAttachment");
    CMsg message;
    message.m_id.SetData("\x07\0\0\0", 4);
    message.m_strFrom = "a@example.test";
    message.m_strBody = "text";
    g_liveCount = 0;
    g_counting = true;
    MailMsg** records = AllocMailMsgArray(3);
    for (int i = 0; i < 3; ++i) message.ToMailMsg(&records[i]);
    AttachmentList* list = new AttachmentList{};
    list->count = 1;
    std::snprintf(list->path[0], sizeof list->path[0], "/nonexistent/zq-file");
    const size_t taken = g_liveCount;
    EXPECT_EQ(freeMsgs(records, 3), 0);
    EXPECT_EQ(freeAttachment(&list), 0);
    g_counting = false;
    EXPECT_EQ(taken, 5u) << "the array, three records and the attachment block";
    EXPECT_EQ(g_liveCount, 0u) << "blocks left after the release exports";
#endif
}
