// A loss seam for the client's call routine: a socket table around the
// usual one that drops chosen datagrams, requests on their way out and
// datagrams on their way in, so that tests lose exactly what they mean to.
// Only for programs that link the library's internal layers.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "base/sockutil.h"
#include "qrd/bytes.h"
#include "rpc/call.h"

namespace qrdtest {

class LossSeam {
  public:
    // Whether to drop the n-th datagram (from 0, counted per direction since
    // the seam was installed) holding `data`.
    using Rule = std::function<bool(uint64_t n, const uint8_t* data, size_t size)>;

    LossSeam(Rule dropSend, Rule dropReceive) {
        std::lock_guard<std::mutex> lock(mu());
        dropSend_ = std::move(dropSend);
        dropReceive_ = std::move(dropReceive);
        current() = this;
        old_ =
            qrd::rpc::setSocketTable({base().open, send, receive, base().release, base().destroy});
    }
    ~LossSeam() {
        qrd::rpc::setSocketTable(old_);
        std::lock_guard<std::mutex> lock(mu());
        current() = nullptr;
    }
    LossSeam(const LossSeam&) = delete;
    LossSeam& operator=(const LossSeam&) = delete;

    uint64_t sent() const { return sent_; }
    uint64_t received() const { return received_; }
    uint64_t droppedSends() const { return droppedSends_; }
    uint64_t droppedReceives() const { return droppedReceives_; }

  private:
    static const qrd::rpc::SocketTable& base() { return qrd::rpc::defaultSocketTable(); }
    static std::mutex& mu() {
        static std::mutex m;
        return m;
    }
    static LossSeam*& current() {
        static LossSeam* s = nullptr;
        return s;
    }

    static QRDSTATUS send(const qrd::rpc::CallSocket& s, QRD_SOCK_REQ* req) {
        LossSeam* seam = current();
        const uint64_t n = seam->sent_++;
        if (seam->dropSend_ &&
            seam->dropSend_(n, static_cast<const uint8_t*>(req->buffer), req->length)) {
            ++seam->droppedSends_;
            req->status = 0;
            req->count = req->length;
            return QRD_OK; // gone on the wire
        }
        return base().send(s, req);
    }

    // A dropped datagram is read and thrown away; the wait goes on for what
    // is left of it.
    static QRDSTATUS receive(const qrd::rpc::CallSocket& s, QRD_SOCK_REQ* req) {
        LossSeam* seam = current();
        const int64_t limit = qrd::receiveLimitMillis(*req);
        const int64_t deadline = limit < 0 ? -1 : qrd::monotonicMillis() + limit;
        for (;;) {
            QRDSTATUS st = base().receive(s, req);
            if (st != QRD_OK || req->status != 0) return st;
            const uint64_t n = seam->received_++;
            if (!seam->dropReceive_ ||
                !seam->dropReceive_(n, static_cast<const uint8_t*>(req->buffer), req->count))
                return st;
            ++seam->droppedReceives_;
            if (deadline >= 0) {
                const int64_t left = deadline - qrd::monotonicMillis();
                if (left <= 0) {
                    req->status = QRDERR_TIMEOUT;
                    return QRD_OK;
                }
                req->reserved = uint32_t(left);
            }
            req->count = 0;
        }
    }

    Rule dropSend_, dropReceive_;
    qrd::rpc::SocketTable old_{};
    std::atomic<uint64_t> sent_{0}, received_{0}, droppedSends_{0}, droppedReceives_{0};
};

// The procedure of a request datagram.
inline uint16_t procedureOf(const uint8_t* data, size_t size) {
    return size >= 12 ? qrd::getBe16(data + 10) : 0xFFFF;
}

} // namespace qrdtest
