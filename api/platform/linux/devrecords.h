// Argument records of the comm-stack device operations (QRD_CNTL_BLOCK.arg).
//
// Field order and widths are those of the device interface and cannot change
// without breaking the device. Records that hold pointers are larger on
// x86-64 than in the 32-bit layout (8-byte pointers); both sizes are noted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qrdapi.h"

namespace qrd {

#pragma pack(push, 1)

// Operation 1 (open): 20 bytes in the 32-bit layout, 28 here.
struct SockOpenArgs {
    uint16_t spare0;
    uint16_t family;
    uint16_t type;
    uint16_t portNumber; // QRD_PORT_ANY = any
    uint16_t spare1;
    uint16_t flags;
    uint32_t* socketOut; // zeroed by the library before the call
    QRD_PORT* localPortOut;
};
static_assert(sizeof(SockOpenArgs) == 28);
static_assert(offsetof(SockOpenArgs, socketOut) == 12);

// Operation 4 (close).
struct SockCloseArgs {
    uint16_t socket;
};
static_assert(sizeof(SockCloseArgs) == 2);

// Operation 5 (wait): the stand-in reads `a` as a socket handle (0 = any
// socket of the process) and `b` as a time-out in ticks (0xFFFF = no limit).
struct SockWaitArgs {
    uint16_t spare;
    uint16_t b;
    uint32_t a;
};
static_assert(sizeof(SockWaitArgs) == 8);

// Operation 7 (notify a window): 18 bytes in the 32-bit layout, 22 here.
struct NotifyWindowArgs {
    uint16_t spare0;
    uint16_t spare1;
    uint16_t message;
    uint16_t zero;
    uint8_t spare2[6];
    void* window; // offset 14
};
static_assert(sizeof(NotifyWindowArgs) == 22);
static_assert(offsetof(NotifyWindowArgs, window) == 14);

// Operation 11 (notification): the process-wide notify record. 26 bytes in
// the 32-bit layout (mask 4, callback 6, context 10, state 18, event 22); 34
// here (mask 4, callback 6, context 14, state 26, event 30).
struct NotifyRecord {
    uint8_t spare0[4];
    uint16_t mask;
    QRD_NOTIFY_CALLBACK callback;
    void* context;
    uint8_t spare1[4];
    uint32_t state;     // 1 registered, 2 first wait, 3 steady waits
    uint32_t eventWord; // out: the handle of a socket with a datagram waiting
};
static_assert(sizeof(NotifyRecord) == 34);
static_assert(offsetof(NotifyRecord, mask) == 4);
static_assert(offsetof(NotifyRecord, state) == 26);
static_assert(offsetof(NotifyRecord, eventWord) == 30);

constexpr uint32_t kNotifyRegistered = 1;
constexpr uint32_t kNotifyFirstWait = 2;
constexpr uint32_t kNotifySteady = 3;
// Event mask bit: report sockets with a datagram waiting.
constexpr uint16_t kNotifyDatagram = 0x0001;

// Operation 13 (soioctl): six words passed unchanged.
struct SoIoctlArgs {
    uint32_t words[6];
};
static_assert(sizeof(SoIoctlArgs) == 24);

// Operation 20 (adapter address): the device stores the address length and
// up to kNicAddressMax bytes.
constexpr size_t kNicAddressMax = 16;
struct NicAddressArgs {
    uint16_t length;
    uint8_t address[kNicAddressMax];
};
static_assert(sizeof(NicAddressArgs) == 18);

// Operation 23 (soconfig).
struct SoConfigArgs {
    uint32_t code;
    uint32_t a;
    uint32_t b;
};
static_assert(sizeof(SoConfigArgs) == 12);

#pragma pack(pop)

// The one soconfig code that needs administrator rights.
constexpr uint32_t kSoConfigService = 11;

} // namespace qrd
