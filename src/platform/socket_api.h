// Thin facade over the system's sockets that keeps the semantics the transport was written
// for: blocking IPv4 streams, Winsock error numbers, select-style waits, and sends that never
// raise SIGPIPE. Winsock itself on Windows, BSD sockets elsewhere.
#pragma once

#include <cstdint>

namespace sock {

#ifdef _WIN32
using Handle = uintptr_t;  // SOCKET
inline constexpr Handle kInvalidHandle = ~static_cast<uintptr_t>(0);
#else
using Handle = int;
inline constexpr Handle kInvalidHandle = -1;
#endif

// Winsock error numbers the transport distinguishes.
inline constexpr int kNetReset = 10052;
inline constexpr int kConnAborted = 10053;
inline constexpr int kConnReset = 10054;
inline constexpr int kNotConn = 10057;
inline constexpr int kTimedOut = 10060;
inline constexpr int kUnmapped = 10000;  // anything else

#ifndef _WIN32
// errno -> the Winsock number of the same condition. An expired SO_RCVTIMEO/SO_SNDTIMEO shows
// as EAGAIN on Linux; a peer gone on send shows as EPIPE.
int WinsockErrorFromErrno(int err);
#endif
// The Winsock number of the last failed call on this thread (WSAGetLastError on Windows).
int LastError();

// Start-up (version 1.1) and clean-up of the sockets library, one clean-up per successful
// start-up; nothing to do on POSIX.
bool Startup();
void Cleanup();

Handle OpenStream();
void CloseHandle(Handle handle);

// Dotted IPv4 text -> address in network order; false when the text is not one.
bool ParseDotted(const char* text, uint32_t* addressNetOrder);
// Name lookup: the first IPv4 address of the host; false when the name does not resolve.
bool ResolveName(const char* name, uint32_t* addressNetOrder);

void SetTimeoutOption(Handle handle, bool receive, int milliseconds);
void SetKeepAlive(Handle handle);
bool ConnectTo(Handle handle, uint32_t addressNetOrder, uint16_t port);

// Both return the byte count, or -1 with LastError() set.
int SendBytes(Handle handle, const char* data, int length);
int ReceiveBytes(Handle handle, char* buffer, int capacity);

// 1 readable, 0 nothing within the wait, -1 failure (LastError() set).
int WaitReadable(Handle handle, long seconds, long microseconds);
// Bytes waiting to be read; -1 on failure.
int PendingBytes(Handle handle);

}  // namespace sock
