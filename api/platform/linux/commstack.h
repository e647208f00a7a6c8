// The comm-stack device stand-in: an in-process emulation behind QrdCallSocket
// that runs the device operations on UDP/IPv4 sockets (docs/commstack.md).
//
// The device is opened on the first call in the process (under
// qrd::locks::global()), reading [CommStack] of QORDA.INI at that moment, and
// closed by qrd::commStackClose() (process detach, QrdDone); the next call
// opens it again with the configuration of that time.
//
// Every call takes one of 32 pooled wake-up events (eventfd), or a private one
// when all 32 are busy. A blocking operation waits on its event besides its
// sockets, so that QrdCancelSocketRequest, a socket close, QrdThreadDoneEx or
// the device close from another thread ends it (status 173).
#pragma once

#include <cstddef>
#include <cstdint>

#include "qrdapi.h"

namespace qrd::commstack {

constexpr size_t kEventPoolSize = 32;
// Idle time after which a notification wait (operation 11) answers 163.
constexpr int kNotifyWaitMillis = 5000;

// For tests: how many calls hold a pooled event, how many a private one.
struct PoolUse {
    size_t pooled;
    size_t privateEvents;
};
PoolUse poolUse();
// True while a blocking call on `request` (a QRD_SOCK_REQ) can be woken.
bool pending(const void* request);
// Whether a datagram whose source record is `source` came from the UDP
// endpoint that `dest` is sent to (for a broadcast `dest`: from any address,
// same port). False while the device is closed.
bool sameEndpoint(const QRD_PORT& dest, const QRD_PORT& source);

} // namespace qrd::commstack

namespace qrd {

// Closes the comm-stack device (operation 19 for the process, then releases
// its events and sockets); the next device call opens it again.
void commStackClose();

} // namespace qrd
