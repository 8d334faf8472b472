// Counting and failing the test thread's allocations (global operator new and delete), for the
// checks leak detection cannot make under the emulator and for out-of-memory paths. Link the
// object library zq_allocation_hook into a test program to replace the operators there; other
// threads (a scripted server) are neither counted nor failed.
#pragma once

#include <cstddef>

namespace allocation_hook {

struct Counts {
    long allocations = 0;
    long releases = 0;
};
// This thread's calls so far.
Counts ThisThread();

// While it lives, this thread's allocations of at least `bytes` fail as memory running out
// does (std::bad_alloc, or null from the nothrow forms); 1 fails every allocation.
class FailFrom {
public:
    explicit FailFrom(size_t bytes);
    ~FailFrom();
    FailFrom(const FailFrom&) = delete;
    FailFrom& operator=(const FailFrom&) = delete;
    // Allocations refused so far.
    static long Refused();
};

}  // namespace allocation_hook
