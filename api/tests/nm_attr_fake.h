// A Namewright service for the attribute and list tests, on any loopback
// address (127.0.0.x) at the workstation's PortBase + 15, so that two of them
// can stand for two servers. Sessions start and end, the revision procedures
// answer, and the attribute and association-record procedures work on an
// in-memory store unless the test overrides a procedure. Every request is
// recorded.
#pragma once

#include <arpa/inet.h>
#include <map>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "qrdapi.h"
#include "rpc_fake_server.h"

namespace qrdtest {

// Request reading: the argument bytes after the 12-byte header.
class Args {
  public:
    explicit Args(const Received& r) : data_(r.args()), r_(data_.data(), data_.size()) {}
    uint16_t u16() { return r_.u16(); }
    uint32_t u32() { return r_.u32(); }
    std::string str() {
        std::string s;
        r_.string(s, 0xFFFF);
        return s;
    }
    Bytes bytes(size_t n) {
        Bytes b(n);
        r_.bytes(b.data(), n);
        return b;
    }
    bool ok() const { return r_.ok(); }

  private:
    Bytes data_;
    qrd::BeReader r_;
};

inline Bytes strBytes(const std::string& s) {
    qrd::BeWriter w;
    w.string(s);
    return w.data();
}

// The head of the attribute procedures 41-46: sid, name, ocl, attr.
struct AttrHead {
    std::string name;
    uint16_t ocl = 0;
    uint32_t category = 0, number = 0;
};
inline AttrHead readHead(Args& a) {
    AttrHead h;
    a.bytes(4);
    h.name = a.str();
    h.ocl = a.u16();
    h.category = a.u32();
    h.number = a.u32();
    return h;
}

// The fields of a read (41) or write (42) request.
struct Transfer {
    AttrHead head;
    uint32_t type = 0, index = 0, count = 0, flags = 0;
    uint16_t tag = 0;
    Bytes value; // write: the value's bytes (integers as sent, big-endian)
};
inline Transfer readTransfer(const Received& r) {
    Args a(r);
    Transfer t;
    t.head = readHead(a);
    t.type = a.u32();
    t.index = a.u32();
    t.count = a.u32();
    t.flags = a.u32();
    if (r.procedure() == 42) {
        t.tag = a.u16();
        if (t.tag) {
            const uint16_t n = a.u16();
            t.value = a.bytes(size_t(n) * (t.tag == 4 ? 4 : 1));
        }
    }
    return t;
}

class FakeNw {
  public:
    using Handler = std::function<std::vector<Bytes>(const Received&)>;

    struct Value {
        uint32_t type = 0;
        Bytes data; // bytes as on the wire (integers big-endian)
    };

    explicit FakeNw(const char* ip = "127.0.0.1", uint32_t revision = 75000) : revision_(revision) {
        inet_pton(AF_INET, ip, &ip_);
        stop_ = eventfd(0, EFD_CLOEXEC);
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(workstation().portBase + 15));
        a.sin_addr = ip_;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            std::perror("fake Namewright bind");
            std::abort();
        }
        thread_ = std::thread([this] { run(); });
    }
    ~FakeNw() {
        uint64_t one = 1;
        (void)!write(stop_, &one, sizeof one);
        thread_.join();
        close(fd_);
        close(stop_);
    }

    // The service's native port record (subnetwork 1 = the server itself).
    QRD_PORT port() const {
        QRD_PORT p{};
        p.family[1] = 3;
        std::memcpy(p.network, &ip_, 4); // already in network order
        qrd::putBe16(p.subnet, 1);
        qrd::putBe16(p.port, 15);
        return p;
    }

    void on(uint16_t procedure, Handler h) {
        std::lock_guard<std::mutex> lock(mu_);
        handlers_[procedure] = std::move(h);
    }

    std::vector<Received> calls(uint16_t procedure) const {
        std::lock_guard<std::mutex> lock(mu_);
        std::vector<Received> out;
        for (const Received& r : received_)
            if (r.procedure() == procedure) out.push_back(r);
        return out;
    }
    std::vector<uint16_t> procedures() const {
        std::lock_guard<std::mutex> lock(mu_);
        std::vector<uint16_t> out;
        for (const Received& r : received_)
            out.push_back(r.procedure());
        return out;
    }
    size_t count(uint16_t procedure) const { return calls(procedure).size(); }

    // The stores, keyed by object name and attribute / record number.
    void setValue(const std::string& name, uint32_t category, uint32_t number, Value v) {
        std::lock_guard<std::mutex> lock(mu_);
        values_[{name, category, number}] = std::move(v);
    }
    bool value(const std::string& name, uint32_t category, uint32_t number, Value& out) const {
        std::lock_guard<std::mutex> lock(mu_);
        auto it = values_.find({name, category, number});
        if (it == values_.end()) return false;
        out = it->second;
        return true;
    }
    void setRecord(const std::string& name, uint16_t record, Bytes bytes) {
        std::lock_guard<std::mutex> lock(mu_);
        records_[{name, record}] = std::move(bytes);
    }
    bool record(const std::string& name, uint16_t record, Bytes& out) const {
        std::lock_guard<std::mutex> lock(mu_);
        auto it = records_.find({name, record});
        if (it == records_.end()) return false;
        out = it->second;
        return true;
    }

  private:
    using AttrKey = std::tuple<std::string, uint32_t, uint32_t>;

    std::vector<Bytes> answer(const Received& r) {
        {
            Handler h;
            {
                std::lock_guard<std::mutex> lock(mu_);
                auto it = handlers_.find(r.procedure());
                if (it != handlers_.end()) h = it->second;
            }
            if (h) return h(r);
        }
        std::lock_guard<std::mutex> lock(mu_);
        switch (r.procedure()) {
        case 111:
            return {returnReply(be32(revision_))};
        case 65: {
            Bytes b = be32(revision_);
            b.resize(8, 0);
            return {returnReply(b)};
        }
        case 28:
            return {returnReply(be32(++sessions_))};
        case 14:
            return {returnReply()};
        case 41:
            return {readAttr(readTransfer(r))};
        case 42:
            return {writeAttr(readTransfer(r))};
        case 43: {
            Args a(r);
            AttrHead h = readHead(a);
            if (!values_.erase({h.name, h.category, h.number})) return {refusal(1055)};
            return {returnReply()};
        }
        case 45: {
            Args a(r);
            AttrHead h = readHead(a);
            auto it = values_.find({h.name, h.category, h.number});
            if (it == values_.end()) return {refusal(1055)};
            const uint32_t width = it->second.type == 4 ? 4 : 1;
            const uint32_t bytes = uint32_t(it->second.data.size());
            Bytes out = be32(it->second.type);
            for (uint32_t v : {bytes / width, bytes}) {
                Bytes b = be32(v);
                out.insert(out.end(), b.begin(), b.end());
            }
            return {returnReply(out)};
        }
        case 0: {
            Args a(r);
            a.bytes(4);
            const std::string name = a.str();
            a.u16();
            const uint16_t number = a.u16();
            auto it = records_.find({name, number});
            if (it == records_.end()) return {refusal(1013)};
            qrd::BeWriter w;
            w.u16(uint16_t(it->second.size()));
            w.bytes(it->second.data(), it->second.size());
            if (it->second.size() & 1) w.u8(0);
            return {returnReply(w.data())};
        }
        case 1: {
            Args a(r);
            a.bytes(4);
            const std::string name = a.str();
            a.u16();
            const uint16_t number = a.u16();
            const uint16_t n = a.u16();
            records_[{name, number}] = a.bytes(n);
            return {returnReply()};
        }
        default:
            return {refusal(1099)};
        }
    }

    // Procedure 41 from the store: at most one chunk from the index on.
    Bytes readAttr(const Transfer& t) {
        auto it = values_.find({t.head.name, t.head.category, t.head.number});
        if (it == values_.end()) return refusal(1055);
        const Value& v = it->second;
        const uint32_t width = v.type == 4 ? 4 : 1;
        const uint32_t stored = uint32_t(v.data.size()) / width;
        const uint32_t from = std::min(t.index, stored);
        const uint32_t n = std::min({t.count, stored - from, width == 4 ? 1000u : 4096u});
        qrd::BeWriter w;
        w.u32(v.type);
        w.u32(t.index);
        w.u32(n);
        w.u32(from + n < stored ? 1 : 0);
        w.u16(uint16_t(v.type));
        w.u16(uint16_t(n));
        w.bytes(v.data.data() + size_t(from) * width, size_t(n) * width);
        w.u16(0);
        return returnReply(w.data());
    }

    // Procedure 42 into the store; flag 2 cuts the value after this write.
    // The reply carries the index after the write and the exchange's number
    // in the flags, so that tests can tell which reply was kept.
    Bytes writeAttr(const Transfer& t) {
        Value& v = values_[{t.head.name, t.head.category, t.head.number}];
        const uint32_t width = t.type == 4 ? 4 : 1;
        if (v.type != t.type) v = Value{t.type, {}};
        const size_t end = (size_t(t.index) + t.count) * width;
        if (v.data.size() < end || (t.flags & 2)) v.data.resize(end, 0);
        std::copy(t.value.begin(), t.value.end(), v.data.begin() + size_t(t.index) * width);
        Bytes out = be32(t.index + t.count);
        Bytes f = be32(0x100 + writes_++);
        out.insert(out.end(), f.begin(), f.end());
        return returnReply(out);
    }

    void run() {
        pollfd pfds[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
        std::vector<uint8_t> buf(70000);
        for (;;) {
            if (poll(pfds, 2, -1) < 0) continue;
            if (pfds[1].revents) return;
            if (!(pfds[0].revents & POLLIN)) continue;
            Received r;
            socklen_t len = sizeof r.from;
            ssize_t n = recvfrom(fd_, buf.data(), buf.size(), 0,
                                 reinterpret_cast<sockaddr*>(&r.from), &len);
            if (n < 0) continue;
            r.data.assign(buf.begin(), buf.begin() + n);
            {
                std::lock_guard<std::mutex> lock(mu_);
                received_.push_back(r);
            }
            for (const Bytes& crafted : answer(r)) {
                const Bytes reply = echoed(r, crafted);
                sendto(fd_, reply.data(), reply.size(), 0,
                       reinterpret_cast<const sockaddr*>(&r.from), sizeof r.from);
            }
        }
    }

    in_addr ip_{};
    uint32_t revision_;
    int fd_ = -1;
    int stop_ = -1;
    std::thread thread_;
    mutable std::mutex mu_;
    std::vector<Received> received_;                            // guarded by mu_
    std::map<uint16_t, Handler> handlers_;                      // guarded by mu_
    std::map<AttrKey, Value> values_;                           // guarded by mu_
    std::map<std::pair<std::string, uint16_t>, Bytes> records_; // guarded by mu_
    uint32_t sessions_ = 0;                                     // guarded by mu_
    uint32_t writes_ = 0;                                       // guarded by mu_
};

// Makes `a` refer every attribute call to `b`: the group's record 2 names
// `server`, and procedure 26 resolves that name to b's server port.
inline void referAttributes(FakeNw& a, const FakeNw& b, const std::string& group,
                            const std::string& server = "server-b") {
    for (uint16_t proc : {41, 42, 43, 45, 46})
        a.on(proc, [](const Received&) { return std::vector<Bytes>{refusal(101)}; });
    a.setRecord(group, 2, strBytes(server));
    QRD_PORT serverPort = b.port();
    qrd::putBe16(serverPort.port, 0);
    a.on(26, [serverPort, server](const Received& r) -> std::vector<Bytes> {
        Args args(r);
        args.bytes(4);
        if (args.str() != server) return {refusal(1002)};
        const auto* p = reinterpret_cast<const uint8_t*>(&serverPort);
        return {returnReply(Bytes(p, p + sizeof serverPort))};
    });
}

// Gives every test a login and a clean workstation view of the service.
inline void loginForTests() {
    QRD_NONCE n{{1, 2, 3, 4, 5, 6}, 0x01020304, 0x0A0B0C0D};
    QrdSetNonce(&n);
    uint32_t zero = 0;
    QRD_PORT none;
    std::memset(&none, 0xFF, sizeof none);
    QrdSetGlobalVar(QRD_GV_NM_REVISION, &zero, sizeof zero);
    QrdSetGlobalVar(QRD_GV_NM_PORT, &none, sizeof none);
}

// A test with a login and one fake Namewright service.
class FakeNwTest : public ::testing::Test {
  protected:
    void SetUp() override { loginForTests(); }
    // A session of character set `charset` on the fake service.
    QRD_NM_SESS session(uint16_t charset = 1) {
        QRD_NM_SESS s;
        QRD_PORT p = nw_.port();
        EXPECT_EQ(QrdStartNmSession(&p, charset, nullptr, &s), QRD_OK);
        return s;
    }
    FakeNw nw_;
};

} // namespace qrdtest
