// How the comm-stack stand-in carries native (family 3) port records over
// UDP/IPv4. docs/commstack.md describes the mapping.
//
// Destination of a record:
//   network 0xFFFFFFFF       -> BroadcastAddress : PortBase + 9-bit port
//   subnetwork 1 or word12 0 -> network          : port
//   otherwise                -> word12           : port
//   where a port number below 512 is UDP port PortBase + port, and any other
//   port number is the UDP port itself.
// Record of an endpoint (a socket's own, or a datagram's source):
//   UDP port in [PortBase, PortBase+512) -> {3, ip, subnet 1, udp - PortBase, 0}
//   otherwise -> {3, ServerAddress, subnet 2, udp, word12 = ip}
#pragma once

#include <cstdint>
#include <netinet/in.h>

#include "qrdapi.h"

namespace qrd {

struct PortMap {
    uint32_t serverAddress;    // host order
    uint32_t broadcastAddress; // host order
    uint16_t portBase;
};

constexpr uint16_t kWellKnownPorts = 512; // 9-bit port numbers
constexpr uint32_t kBroadcastNetwork = 0xFFFFFFFF;
constexpr uint16_t kSubnetServer = 1;
constexpr uint16_t kSubnetEndpoint = 2;

// The port number of a record (u16 big-endian at 8-9) and its 9-bit form.
uint16_t portNumberOf(const QRD_PORT& port);
uint16_t wellKnownPortOf(const QRD_PORT& port);
bool isNativePort(const QRD_PORT& port);

// The UDP destination of a native record (see above).
sockaddr_in udpDestination(const PortMap& map, const QRD_PORT& port);
// The record of the endpoint at `ip`:`udpPort` (host order).
QRD_PORT endpointRecord(const PortMap& map, uint32_t ip, uint16_t udpPort);

} // namespace qrd
