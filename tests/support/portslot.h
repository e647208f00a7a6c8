// Port bases for programs that run on this machine beside each other (test
// processes, the benchmark, the outside checks' scripts): slots of 512 UDP
// ports from 10240 up, below the kernel's ephemeral range (32768+), each
// held by an flock() on /tmp/qrd-test-portbase-<slot>.lock. The lock is not
// close-on-exec, so children and an exec of the same process keep the slot.
#pragma once

#include <cstdint>

namespace qrdtest {

struct PortSlot {
    uint16_t base = 0; // 0: none free
    int lockFd = -1;   // held until the process ends (or closed by the owner)
};

// Takes a free slot whose well-known ports 15, 19 and 511 can be bound.
PortSlot reservePortSlot();

} // namespace qrdtest
