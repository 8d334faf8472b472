#include "allocation_hook.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long t_allocations = 0;
thread_local long t_releases = 0;
thread_local size_t t_failFrom = 0;  // 0: nothing fails
thread_local long t_refused = 0;

void* Allocate(size_t size) noexcept {
    if (t_failFrom != 0 && size >= t_failFrom) {
        ++t_refused;
        return nullptr;
    }
    ++t_allocations;
    return std::malloc(size == 0 ? 1 : size);
}

void Release(void* block) noexcept {
    if (!block) return;
    ++t_releases;
    std::free(block);
}
}  // namespace

namespace allocation_hook {
Counts ThisThread() { return Counts{t_allocations, t_releases}; }
FailFrom::FailFrom(size_t bytes) { t_failFrom = bytes; }
FailFrom::~FailFrom() { t_failFrom = 0; }
long FailFrom::Refused() { return t_refused; }
}  // namespace allocation_hook

void* operator new(size_t size) {
    if (void* block = Allocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* block = Allocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
