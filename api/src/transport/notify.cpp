// Socket notification: QrdSocketNotify registers a callback that a thread of
// the library calls with the handle of each socket that has a datagram
// waiting (the event word), or with status 163 when a wait passed quietly.
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "base/locks.h"
#include "devrecords.h"
#include "qrdapi.h"

namespace {

// The notification thread's device calls carry this thread word, so that
// QrdThreadDoneEx with it ends the thread's wait.
constexpr uint32_t kNotifyThreadWord = 0x4E544659;

// The process-wide notify record and the thread that serves it. Guarded by
// locks::notify(); leaked so that a late detach can still look at it. While
// the thread runs, only the thread touches the record.
struct Worker {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::promise<void> ended;
};
struct NotifyState {
    qrd::NotifyRecord record{};
    std::shared_ptr<Worker> worker;
};
NotifyState& state() {
    static auto* s = new NotifyState;
    return *s;
}

QRDSTATUS notifyCall(qrd::NotifyRecord* rec, uint32_t thread) {
    QRD_CNTL_BLOCK block{};
    block.op = CNTL_NOTIFY;
    block.thread = thread;
    block.arg = rec;
    return QrdCallSocket(&block);
}

void serve(std::shared_ptr<Worker> w, qrd::NotifyRecord* rec, QRD_NOTIFY_CALLBACK callback,
           void* context) {
    rec->state = qrd::kNotifyFirstWait;
    while (!w->stop) {
        QRDSTATUS st = notifyCall(rec, kNotifyThreadWord);
        // Any status but 0 (an event) and 163 (a quiet wait) ends the thread;
        // 173 is how a stop ends a wait.
        if (st != QRD_OK && st != QRDERR_TIMEOUT) break;
        if (w->stop) break;
        rec->mask = callback(st == QRD_OK ? rec->eventWord : 0, st, context);
        rec->state = qrd::kNotifySteady;
    }
    w->ended.set_value();
}

// Stops a running notification thread. Called without locks::notify() held:
// the callback may itself call QrdSocketNotify.
void stopWorker(std::shared_ptr<Worker> w) {
    if (!w) return;
    w->stop = true;
    if (w->thread.get_id() == std::this_thread::get_id()) {
        w->thread.detach(); // called from the callback: the thread ends on return
        return;
    }
    // The thread may be between two waits when the first thread-done comes.
    std::future<void> ended = w->ended.get_future();
    while (ended.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        QrdThreadDoneEx(kNotifyThreadWord);
    w->thread.join();
}

} // namespace

extern "C" QRDAPI QRDSTATUS QrdSocketNotify(QRD_NOTIFY_CALLBACK callback, void* context,
                                            uint16_t mask) {
    std::shared_ptr<Worker> previous;
    {
        std::lock_guard lock(qrd::locks::notify());
        previous = std::move(state().worker);
    }
    stopWorker(std::move(previous));

    std::lock_guard lock(qrd::locks::notify());
    NotifyState& s = state();
    if (s.worker) return QRDERR_BAD_ARG; // another caller registered meanwhile
    s.record = qrd::NotifyRecord{};
    s.record.mask = mask;
    s.record.callback = callback;
    s.record.context = context;
    s.record.state = qrd::kNotifyRegistered;
    QRDSTATUS st = notifyCall(&s.record, 0);
    if (st != QRD_OK || !callback) return st;
    auto w = std::make_shared<Worker>();
    try {
        w->thread = std::thread(serve, w, &s.record, callback, context);
    } catch (const std::system_error&) {
        return QRDERR_NO_MEMORY;
    }
    s.worker = std::move(w);
    return QRD_OK;
}
