#include "net/transport_waits.h"

namespace {
TransportWaits g_waits;
}

const TransportWaits& CurrentTransportWaits() { return g_waits; }

namespace testing_hooks {
void OverrideTransportWaits(const TransportWaits& waits) { g_waits = waits; }
void RestoreTransportWaits() { g_waits = TransportWaits{}; }
}  // namespace testing_hooks
