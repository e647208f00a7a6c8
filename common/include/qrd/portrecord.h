// Port records: the 16 bytes that name an endpoint on either road, written
// and read by the client library and the daemon alike.
//
//   native (family 3): u16 family at 0, u32 network at 2, u16 subnetwork at
//     6, u16 port at 8 (well-known ports are 9-bit), bytes 10 and 11, u32
//     word at 12; big-endian.
//   Internet (family 2): the socket address: u16 family at 0 little-endian,
//     u16 UDP port at 2 and the IPv4 address at 4 big-endian, zeros 8-15.
//   null: sixteen 0xFF bytes (no port).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "qrd/bytes.h"

namespace qrd::port {

constexpr size_t kSize = 16;
using Bytes = std::array<uint8_t, kSize>;

constexpr uint16_t kFamilyInet = 2;
constexpr uint16_t kFamilyNative = 3;
constexpr size_t kNetworkAt = 2, kSubnetAt = 6, kPortAt = 8, kWord12At = 12;
constexpr size_t kInetPortAt = 2, kInetAddressAt = 4;
constexpr uint8_t kNullByte = 0xFF;
// Subnetwork 1: the server itself.
constexpr uint16_t kSubnetServer = 1;

constexpr Bytes null() {
    Bytes b{};
    for (uint8_t& x : b)
        x = kNullByte;
    return b;
}

inline bool isNull(const uint8_t* p) {
    for (size_t i = 0; i < kSize; ++i)
        if (p[i] != kNullByte) return false;
    return true;
}

inline Bytes native(uint32_t network, uint16_t subnet, uint16_t port) {
    Bytes b{};
    putBe16(&b[0], kFamilyNative);
    putBe32(&b[kNetworkAt], network);
    putBe16(&b[kSubnetAt], subnet);
    putBe16(&b[kPortAt], port);
    return b;
}

inline Bytes internet(uint32_t address, uint16_t udpPort) {
    Bytes b{};
    putLe16(&b[0], kFamilyInet);
    putBe16(&b[kInetPortAt], udpPort);
    putBe32(&b[kInetAddressAt], address);
    return b;
}

} // namespace qrd::port
