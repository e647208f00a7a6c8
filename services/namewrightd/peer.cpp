#include "peer.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "qrd/portrecord.h"
#include "qrd/rpcheader.h"
#include "qrdapi.h"

namespace nwd {

namespace {

int64_t steadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

NativePeerClient::~NativePeerClient() {
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        stop_ = true;
        workers.swap(workers_);
    }
    changed_.notify_all();
    for (std::thread& t : workers)
        t.join();
}

// The client library's call routine carries the call: one request header with
// its identity, its socket cache, the retransmissions, and only the answer
// from the issuer's port that echoes the call is taken.
uint16_t NativePeerClient::call(const PortRecord& dest, uint16_t procedure,
                                const std::vector<uint8_t>& args,
                                std::vector<uint8_t>& results) const {
    const size_t length = qrd::rpcwire::kRequestHeaderSize + args.size();
    auto* request = static_cast<uint8_t*>(std::malloc(length));
    if (!request) return qrd::nm::kNoMemory;
    if (!args.empty())
        std::memcpy(request + qrd::rpcwire::kRequestHeaderSize, args.data(), args.size());
    QRD_PORT port;
    std::memcpy(&port, dest.data(), sizeof port);
    QRD_RPC_CONTROL control{};
    uint8_t* buffer = request; // the call routine takes it and may hand back the reply
    QRDSTATUS st = _CallRemoteDg(&port, procedure, &buffer, &control, uint32_t(length),
                                 timing_.callTicks, qrd::rpcwire::kProgramVersion, 0);
    if (st == QRD_OK && buffer)
        results.assign(buffer + control.resultOffset, buffer + control.replyLength);
    std::free(buffer);
    return st;
}

uint16_t NativePeerClient::ask(uint32_t address, const Nonce& n, uint32_t workstation,
                               std::string& user) const {
    const PortRecord dest =
        qrd::port::native(address, qrd::port::kSubnetServer, qrd::nm::kServiceNamewright);
    std::vector<uint8_t> args;
    putNonce(args, n);
    args.resize(args.size() + 4); // the workstation the nonce must have been issued to
    qrd::putBe32(&args[args.size() - 4], workstation);
    std::vector<uint8_t> results;
    if (uint16_t st = call(dest, qrd::nm::kVerifyNonce, args, results)) return st;
    qrd::BeReader valid(results.data(), results.size());
    uint16_t isValid = valid.u16();
    if (!valid.ok()) return qrd::nm::kBadRequest;
    if (!isValid) return qrd::nm::kNonceInvalid;
    if (uint16_t st = call(dest, qrd::nm::kNonceOwner, args, results)) return st;
    qrd::BeReader owner(results.data(), results.size());
    if (!owner.string(user, qrd::nm::kNameCap - 1)) return qrd::nm::kBadRequest;
    return 0;
}

void NativePeerClient::work() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        List::iterator q = queue_.front();
        queue_.pop_front();
        const uint32_t address = q->address;
        const Nonce nonce = q->nonce;
        const uint32_t workstation = q->workstation;
        lock.unlock();
        std::string user;
        const uint16_t st = ask(address, nonce, workstation, user);
        lock.lock();
        // The entry stays while it is being asked (forgetOld keeps it).
        q->done = true;
        q->status = st;
        q->user = std::move(user);
        q->doneAt = steadyMillis();
        --asking_;
        changed_.notify_all();
    }
}

uint16_t NativePeerClient::take(List::iterator it, std::string& user) {
    const uint16_t st = it->status;
    user = std::move(it->user);
    index_.erase(it->key);
    questions_.erase(it);
    return st;
}

void NativePeerClient::forgetOld(int64_t now) {
    size_t kept = questions_.size() - asking_;
    for (auto it = questions_.begin(); it != questions_.end() && kept > 0;) {
        if (!it->done) {
            ++it;
            continue;
        }
        if (kept <= timing_.maxKept && now - it->doneAt < timing_.keepMs) break;
        index_.erase(it->key);
        it = questions_.erase(it);
        --kept;
    }
}

uint16_t NativePeerClient::verifyNonce(const Entry&, const ServerRecord& where, const Nonce& n,
                                       uint32_t workstation, std::string& user) {
    Key key;
    qrd::putBe32(key.data(), where.address);
    std::vector<uint8_t> wire;
    putNonce(wire, n);
    std::memcpy(key.data() + 4, wire.data(), kNonceBytes);
    qrd::putBe32(key.data() + 4 + kNonceBytes, workstation);

    std::unique_lock<std::mutex> lock(lock_);
    if (stop_) return qrd::nm::kIssuerSilent;
    forgetOld(steadyMillis());
    auto found = index_.find(key);
    if (found == index_.end()) {
        if (asking_ >= timing_.maxAsking) return qrd::nm::kIssuerSilent;
        List::iterator q = questions_.insert(
            questions_.end(), Question{key, where.address, n, workstation, false, 0, {}, 0});
        index_[key] = q;
        queue_.push_back(q);
        ++asking_;
        if (workers_.size() < timing_.workers && workers_.size() < asking_)
            workers_.emplace_back([this] { work(); });
        changed_.notify_all();
    }
    // Looked up again after the wait: another thread may have taken it.
    auto answered = [&] {
        auto f = index_.find(key);
        return f != index_.end() && f->second->done;
    };
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timing_.waitMs), answered))
        return kStillAsking;
    return take(index_.find(key)->second, user);
}

} // namespace nwd
