// Per-thread sessions and last errors.
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "qrdapi/internal.h"

namespace namedir {

namespace {
constexpr uint16_t kCharsetLatin1 = QRD_CHARSET_LATIN1;

struct Maps {
    std::mutex lock; // guards both maps; never held across a client call
    std::unordered_map<std::thread::id, std::unique_ptr<QRD_NM_SESS>> sessions;
    std::unordered_map<std::thread::id, QRDSTATUS> lastErrors;
};

Maps& maps() {
    static Maps* m = new Maps; // outlives every thread that still calls at exit
    return *m;
}

std::atomic<const QrdClientCalls*> g_calls{nullptr};
} // namespace

const QrdClientCalls& client() {
    const QrdClientCalls* c = g_calls.load(std::memory_order_acquire);
    return c ? *c : qrdDefaultClientCalls();
}

QRDSTATUS check(QRDSTATUS status) {
    if (status != 0) {
        Maps& m = maps();
        std::lock_guard<std::mutex> g(m.lock);
        try {
            m.lastErrors[std::this_thread::get_id()] = status;
        } catch (const std::bad_alloc&) {
            // The status is still returned; only its memory for later is lost.
        }
    }
    return status;
}

QRD_NM_SESS* threadSession() {
    return CQrdApi::getNmSession();
}

} // namespace namedir

using namespace namedir;

QRD_NM_SESS* CQrdApi::getNmSession(QRD_NM_SESS* session, std::thread::id thread,
                                   unsigned long /*wait*/) {
    if (!session) {
        if (thread == std::thread::id()) thread = std::this_thread::get_id();
        Maps& m = maps();
        std::lock_guard<std::mutex> g(m.lock);
        try {
            auto& slot = m.sessions[thread];
            if (!slot) slot = std::make_unique<QRD_NM_SESS>(); // zeroed: not started
            session = slot.get();
        } catch (const std::bad_alloc&) {
            return nullptr; // the client API answers a missing session with 1017
        }
    }
    // Kept in the map even when the start fails: the next call starts it.
    if (session->active == 0)
        check(client().startNmSession(nullptr, kCharsetLatin1, nullptr, session));
    return session;
}

bool CQrdApi::createSession() {
    return noThrow(false, [] { return getNmSession() != nullptr; });
}

bool CQrdApi::destroySession() {
    Maps& m = maps();
    QRD_NM_SESS* session;
    {
        std::lock_guard<std::mutex> g(m.lock);
        auto it = m.sessions.find(std::this_thread::get_id());
        if (it == m.sessions.end()) return false;
        session = it->second.get();
    }
    // Only this thread uses its record, so it stays valid outside the lock.
    if (check(client().endNmSession(session)) != 0) return false;
    std::lock_guard<std::mutex> g(m.lock);
    m.sessions.erase(std::this_thread::get_id());
    return true;
}

bool CQrdApi::destroyAllSessions() {
    Maps& m = maps();
    std::unordered_map<std::thread::id, std::unique_ptr<QRD_NM_SESS>> all;
    {
        std::lock_guard<std::mutex> g(m.lock);
        all.swap(m.sessions);
    }
    bool ok = true;
    for (auto& [thread, session] : all)
        if (check(client().endNmSession(session.get())) != 0) ok = false;
    return ok;
}

QRDSTATUS CQrdApi::getLastError() {
    Maps& m = maps();
    std::lock_guard<std::mutex> g(m.lock);
    auto it = m.lastErrors.find(std::this_thread::get_id());
    if (it == m.lastErrors.end()) return 0;
    QRDSTATUS status = it->second;
    m.lastErrors.erase(it);
    return status;
}

void CQrdApi::clearLastError() {
    Maps& m = maps();
    std::lock_guard<std::mutex> g(m.lock);
    m.lastErrors.erase(std::this_thread::get_id());
}

uint32_t CQrdApi::getClientVersionNumber() {
    return client().getClientVersionNumber();
}

void CQrdApi::setClientCalls(const QrdClientCalls* calls) {
    g_calls.store(calls, std::memory_order_release);
}

const QrdClientCalls& CQrdApi::clientCalls() {
    return client();
}
