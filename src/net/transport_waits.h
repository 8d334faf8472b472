// The fixed waits of the response reader. The defaults are the shipped behaviour; tests may
// shorten them through the override below, which nothing outside the test programs calls
// (the plug-in exports only its entry points, so the hook is unreachable from a host).
#pragma once

#include <chrono>

struct TransportWaits {
    std::chrono::microseconds firstByte{45'000'000};  // 45 s for the first byte of a response
    std::chrono::microseconds pause{3'000'500};       // 3 s and 500 µs of silence ends a response
};

// The waits in force.
const TransportWaits& CurrentTransportWaits();

namespace testing_hooks {
void OverrideTransportWaits(const TransportWaits& waits);
void RestoreTransportWaits();
}  // namespace testing_hooks
