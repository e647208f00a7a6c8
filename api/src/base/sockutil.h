// Helpers shared by both roads of the transport: socket-library error numbers,
// time-outs in ticks, and the Internet form of a port record.
#pragma once

#include <cstdint>
#include <netinet/in.h>

#include "qrdapi.h"

namespace qrd {

// The socket-library error number (10004 ...) for a Linux errno value; 0 for
// 0, and -errno (no number of the table) for errno values without one.
int socketErrorNumber(int linuxErrno);
// The library status of a Linux errno value (through socketErrorNumber and
// QrdMapIpErrno).
QRDSTATUS statusFromErrno(int linuxErrno);

// A time-out in ticks of 1/5 second as milliseconds for poll(); -1 (no limit)
// for 0x7FFFFFFF and above.
int64_t ticksToMillis(uint32_t ticks);
// How long a receive waits, in milliseconds (-1: no limit): the request's
// reserved word when it is set (the RPC layer's retransmission timer needs
// finer steps than ticks), else its time-out in ticks.
int64_t receiveLimitMillis(const QRD_SOCK_REQ& req);
// Milliseconds left until `deadlineMs` of a CLOCK_MONOTONIC clock (never
// negative), or -1 when there is no deadline (-1).
int pollMillisLeft(int64_t deadlineMs);
int64_t monotonicMillis();

// An Internet port record holds a socket address as the socket library gives
// it: family 2 little-endian at 0-1, port big-endian at 2-3, the IPv4 address
// at 4-7, zeros at 8-15.
void inetPortFromSockaddr(const sockaddr_in& sa, QRD_PORT* port);
sockaddr_in sockaddrFromInetPort(const QRD_PORT& port);

// This host's IPv4 address (host order) on the route toward ip:port, as the
// kernel would choose it; loopback when there is no route.
uint32_t localAddressToward(uint32_t ip, uint16_t port);

// "%d.%d.%d.%d[%d]" in a process-wide static text (shared by all callers).
const char* inetAddrToStr(const QRD_PORT* port);

} // namespace qrd
