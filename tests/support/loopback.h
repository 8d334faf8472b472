// The few socket calls the scripted server makes, over BSD sockets or Winsock, so that the
// same scripts play inside the Windows test programs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace loopback {

using Socket = intptr_t;
inline constexpr Socket kNone = -1;

// A listener on 127.0.0.1 at a port the system picks; kNone when it cannot listen.
Socket Listen(uint16_t* port);
// A waiting connection, or kNone when none came within waitMs.
Socket Accept(Socket listener, int waitMs);
// True when bytes (or the end of the stream) can be read within waitMs.
bool Readable(Socket s, int waitMs);
// The count sent or received; <= 0 on failure (0 from Receive: the peer closed).
long Send(Socket s, const char* data, size_t size);
long Receive(Socket s, char* buffer, size_t size);
// reset: an abortive close (the peer sees a reset, not an orderly end).
void Close(Socket s, bool reset = false);

}  // namespace loopback
