// The workstation's global-variable store: 168 bytes shared by every process
// of one user on one workstation (login name, nonce, remembered service port).
//
// Shared mode: a POSIX shared-memory block "/MMFUnmGlobalVar.<uid>[.<ws>]"
// guarded by a robust process-shared mutex that lives in its own block
// "/MUTEXUnmGlobalVar.<uid>[.<ws>]"; <ws> is $QRD_WORKSTATION when set. Both
// are created with mode 0600 and refused when another user owns them.
// Private mode (after detach): a zeroed block of this process only.
//
// Statuses: 0; QRDERR_GLOBALVAR (51) for an id or length the table refuses;
// QRDERR_BAD_ARG (100) for a null buffer with a non-zero length;
// QRDERR_TIMEOUT (163) when the store's mutex was not obtained within 15 s
// (nothing is copied then); QRDERR_NO_DEVICE (31) when the store is not
// there: it cannot be made (an access that finds no store tries to make it
// again) or it was released at detach.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "qrdapi.h"

namespace qrd::gv {

constexpr size_t kBlockSize = QRD_GLOBALVAR_BLOCK;
constexpr int kLockWaitMs = 15000;

// Where a variable lives. `inBlock` false: the per-process word (id 20).
struct Field {
    uint16_t offset;
    uint16_t size;
    bool inBlock;
};

// The field of `id`, or nothing when the store refuses the id.
std::optional<Field> fieldOf(uint16_t id);

// Shared-memory names of this workstation ("/MMFUnmGlobalVar.1000.ws1").
std::string blockName();
std::string mutexName();

// Creates or opens the shared store. Existing contents are kept. Returns
// false (with a reason in `why`) when it cannot be made.
bool create(std::string* why = nullptr);

// Unmaps whatever block is in use; later accesses give 31 until create().
void release();

// Switches this process to a private zeroed block (the per-process word is
// zeroed too). A process already private keeps its block. Returns 0, or 104
// when the private block cannot be allocated.
QRDSTATUS detach();

bool isShared();

QRDSTATUS get(uint16_t id, void* buffer, uint16_t length);
QRDSTATUS set(uint16_t id, const void* buffer, uint16_t length);

// Runs `fn` on the 168-byte block (fields at fieldOf's offsets) while holding
// the store's mutex, for changes that must appear together to other
// processes. fn must not call get or set (the mutex is not recursive). Same
// statuses as get/set; fn does not run on failure.
QRDSTATUS withStoreLocked(void (*fn)(uint8_t* block, void* context), void* context);

// How long an access waits for the store's mutex (kLockWaitMs unless a test
// shortens it).
void setLockWaitMs(int ms);

} // namespace qrd::gv
