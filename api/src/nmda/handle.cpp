#include "nmda/handle.h"

#include <cstring>
#include <new>
#include <unordered_map>

namespace qrd::nmda {

namespace {

// The live handles. A call takes a reference to its handle under the
// table's lock and then the handle's own lock, so a long call on one handle
// holds up nobody else, and an end in the middle of it frees the memory
// only after it.
using Table = std::unordered_map<QRD_NMDA_HANDLE, std::shared_ptr<QrdNmdaHandle>>;
std::mutex& tableLock() {
    static std::mutex m;
    return m;
}
Table& table() {
    static Table t;
    return t;
}

} // namespace

QRD_NMDA_HANDLE newHandle() {
    try {
        auto h = std::make_shared<QrdNmdaHandle>();
        std::lock_guard<std::mutex> l(tableLock());
        table().emplace(h.get(), h);
        return h.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool freeHandle(QRD_NMDA_HANDLE h) {
    std::shared_ptr<QrdNmdaHandle> keep;
    {
        std::lock_guard<std::mutex> l(tableLock());
        auto it = table().find(h);
        if (it == table().end()) return false;
        keep = std::move(it->second);
        table().erase(it);
    }
    std::lock_guard<std::mutex> l(keep->lock);
    keep->ended = true;
    return true;
}

Locked::Locked(QRD_NMDA_HANDLE h) {
    {
        std::lock_guard<std::mutex> l(tableLock());
        auto it = table().find(h);
        if (it == table().end()) return;
        keep_ = it->second;
    }
    hold_ = std::unique_lock<std::mutex>(keep_->lock);
    if (!keep_->ended) h_ = keep_.get();
}

QRDSTATUS checkLogin(const QRD_NMDA_SESSION& block) {
    QRD_NONCE now{};
    if (QrdGetNonce(&now) != QRD_OK) return QRDERR_NMDA_LOGIN_CHANGED;
    return std::memcmp(&now, &block.nonce, sizeof now) == 0 ? QRDSTATUS(QRD_OK)
                                                            : QRDSTATUS(QRDERR_NMDA_LOGIN_CHANGED);
}

} // namespace qrd::nmda
