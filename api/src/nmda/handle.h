// NMDA session handles: the 51-byte session block behind a lock, and the
// table of live handles, so that a stale or foreign handle is refused (104)
// instead of being used.
#pragma once

#include <memory>
#include <mutex>

#include "qrdapi.h"

struct QrdNmdaHandle {
    std::mutex lock;
    bool ended = false; // guarded by lock
    QRD_NMDA_SESSION block{};
};

namespace qrd::nmda {

// A new handle in the table, or null without memory.
QRD_NMDA_HANDLE newHandle();
// Takes a handle out of the table and frees it; false when it was not there.
bool freeHandle(QRD_NMDA_HANDLE h);

// Holds a live handle's lock for the length of a call. ok() is false for a
// handle that is not in the table (the call answers 104).
class Locked {
  public:
    explicit Locked(QRD_NMDA_HANDLE h);
    bool ok() const { return h_ != nullptr; }
    QRD_NMDA_SESSION& block() { return h_->block; }

  private:
    std::shared_ptr<QrdNmdaHandle> keep_; // a call in progress keeps its handle alive
    QRD_NMDA_HANDLE h_ = nullptr;
    std::unique_lock<std::mutex> hold_;
};

// 0 when the workstation's login is still the one the session started
// under, else 1912.
QRDSTATUS checkLogin(const QRD_NMDA_SESSION& block);

} // namespace qrd::nmda
