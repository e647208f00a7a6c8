#include "portmap.h"

#include <cstring>

#include "qrd/bytes.h"

namespace qrd {

namespace {
const uint8_t* bytesOf(const QRD_PORT& p) {
    return reinterpret_cast<const uint8_t*>(&p);
}
} // namespace

uint16_t portNumberOf(const QRD_PORT& port) {
    return getBe16(bytesOf(port) + 8);
}

uint16_t wellKnownPortOf(const QRD_PORT& port) {
    const uint8_t* b = bytesOf(port);
    return uint16_t((b[8] & 1u) << 8 | b[9]);
}

bool isNativePort(const QRD_PORT& port) {
    return bytesOf(port)[1] == QRD_FAMILY_NATIVE;
}

sockaddr_in udpDestination(const PortMap& map, const QRD_PORT& port) {
    const uint8_t* b = bytesOf(port);
    const uint32_t network = getBe32(b + 2);
    const uint16_t subnet = getBe16(b + 6);
    const uint32_t word12 = getBe32(b + 12);
    uint32_t ip;
    uint32_t udp;
    if (network == kBroadcastNetwork) {
        ip = map.broadcastAddress;
        udp = uint32_t(map.portBase) + wellKnownPortOf(port);
    } else {
        ip = (subnet == kSubnetServer || word12 == 0) ? network : word12;
        uint16_t n = portNumberOf(port);
        udp = n < kWellKnownPorts ? uint32_t(map.portBase) + n : n;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(ip);
    sa.sin_port = htons(uint16_t(udp));
    return sa;
}

QRD_PORT endpointRecord(const PortMap& map, uint32_t ip, uint16_t udpPort) {
    QRD_PORT rec;
    uint8_t* b = reinterpret_cast<uint8_t*>(&rec);
    std::memset(b, 0, sizeof rec);
    putBe16(b, QRD_FAMILY_NATIVE);
    if (udpPort >= map.portBase && udpPort - map.portBase < kWellKnownPorts) {
        putBe32(b + 2, ip);
        putBe16(b + 6, kSubnetServer);
        putBe16(b + 8, uint16_t(udpPort - map.portBase));
    } else {
        putBe32(b + 2, map.serverAddress);
        putBe16(b + 6, kSubnetEndpoint);
        putBe16(b + 8, udpPort);
        putBe32(b + 12, ip);
    }
    return rec;
}

} // namespace qrd
