// Attribute calls of the Namewright client: read and write (in chunks of one
// datagram), delete, information and scan. Each call checks its arguments,
// puts the object's name in wire form, runs on the caller's session and, when
// the first exchange is referred (101), repeats the whole call on the server
// that holds the object's group (nm/referral.h).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "charset/charset.h"
#include "nm/emulation.h"
#include "nm/referral.h"
#include "qrd/nmproto.h"
#include "qrd/scram.h"
#include "rpc/stubs.h"

namespace {

using namespace qrd::nm;
namespace rpc = qrd::rpc;

// Flag of a write: the value ends after this exchange.
constexpr uint32_t kCutFlag = 2;

static_assert(QRD_ATTR_CONDITIONS_MAX == kConditionMax);
static_assert(ATTR_BYTES == kAttrTypeFirst && ATTR_BYTES5 == kAttrTypeLast &&
              ATTR_INTEGERS == kAttrIntegers);

// The wrapper's continuation word for exchange n: non-zero after the first,
// so that a session lost mid-transfer is reported instead of retried.
uint16_t continuationOf(uint32_t exchange) {
    return uint16_t(std::min<uint32_t>(exchange, 0xFFFF));
}

// The name's length, then its wire form.
QRDSTATUS makeTarget(const QRD_NM_SESS* sess, const char* name, uint16_t ocl, const AttrName* attr,
                     AttrTarget& target) {
    if (std::strlen(name) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    std::memset(target.name, 0, sizeof target.name);
    std::strcpy(target.name, name);
    qrd::convertText(qrd::ConvSet::ToAscii, sess->charset, target.name);
    target.ocl = ocl;
    target.attr = *attr;
    return QRD_OK;
}

// One attribute call as it runs on a session; `referred` (NULL when the call
// is itself a referred one) is set when its first exchange answered 101.
using RemoteCall = std::function<QRDSTATUS(const SessionRef&, bool* referred)>;
using EmulatedCall = std::function<QRDSTATUS(const SessionRef&)>;

// Runs `remote` on the caller's session and, when its first exchange is
// referred, the whole call again where the referral leads.
QRDSTATUS runCall(QRD_NM_SESS* sess, const AttrTarget& target, const RemoteCall& remote,
                  const EmulatedCall& emulated) {
    bool referred = false;
    QRDSTATUS st = remote(SessionRef{sess}, &referred);
    if (!referred) return st;
    const ReferredCall again{[&](const SessionRef& s) { return remote(s, nullptr); }, emulated};
    return followReferral(sess, target, again);
}

// A call of one exchange: its 101 is the first exchange's.
QRDSTATUS single(const SessionRef& s, bool* referred, const SessionCall& call) {
    QRDSTATUS st = callOn(0, s, call);
    if (st == QRDERR_NM_REFERRAL && referred) *referred = true;
    return st;
}

// ---- read -----------------------------------------------------------------

struct ReadRequest {
    uint32_t type, index, count, flags;
    uint8_t* buffer;
};
struct ReadResult {
    uint32_t type, index, count, flags;
};

// The chunked read on one session. `*referred` (when given) is set when the
// first exchange answered 101; nothing has been read then.
QRDSTATUS readChunks(const SessionRef& s, const AttrTarget& t, const ReadRequest& rq,
                     ReadResult& res, bool* referred) {
    const size_t width = attrWidth(rq.type);
    const uint32_t limit = attrChunkLimit(rq.type);
    // u32 elements so that integer chunks decode aligned.
    std::unique_ptr<uint32_t[]> chunk(new (std::nothrow) uint32_t[kChunkBytes / 4]);
    if (!chunk) return QRDERR_NM_NO_MEMORY;

    uint32_t received = 0;
    for (uint32_t exchange = 0;; ++exchange) {
        const uint32_t ask = std::min(rq.count - received, limit);
        uint32_t type = 0, index = 0, count = 0, flags = 0;
        rpc::AttrValue value;
        QRDSTATUS st =
            callOn(continuationOf(exchange), s, [&](const QRD_PORT* port, const uint8_t* sid) {
                type = rq.type;
                index = rq.index + received;
                count = ask;
                flags = exchange == 0 ? rq.flags : 0;
                value = rpc::AttrValue{0, 0, chunk.get(), size_t(ask) * width};
                return rpc::nmReadAttr(port, sid, t.name, t.ocl, t.attr, &type, &index, &count,
                                       &flags, &value, exchange ? qrd::nm::kPartContinues : 0);
            });
        if (st == QRDERR_NM_REFERRAL && exchange == 0 && referred) *referred = true;
        if (st != QRD_OK) return st;
        // A value of integers cannot land in a buffer of bytes, nor the reverse.
        if (value.tag != 0 && attrWidth(value.tag) != width) return QRDERR_MARSHAL;

        if (value.count)
            std::memcpy(rq.buffer + size_t(received) * width, chunk.get(), value.count * width);
        received += value.count;
        res.type = type;
        if (exchange == 0) res.index = index;
        res.flags = flags;
        if (value.count == 0 || received == rq.count || !(flags & QRD_ATTR_MORE)) break;
    }
    res.count = received;
    return QRD_OK;
}

// ---- write ----------------------------------------------------------------

struct WriteRequest {
    uint32_t type, index, count, flags;
    const uint8_t* buffer;
    uint16_t charset; // of the caller's text values
    // Sent with every exchange; the service checks those of the last.
    const rpc::WireCondition* conditions = nullptr;
    uint16_t nConditions = 0;
};

// The chunked write on one session; `*referred` as for readChunks.
QRDSTATUS writeChunks(const SessionRef& s, const AttrTarget& t, const WriteRequest& rq,
                      uint32_t* indexOut, uint32_t* flagsOut, bool* referred) {
    const size_t width = attrWidth(rq.type);
    const uint32_t limit = attrChunkLimit(rq.type);
    uint32_t sent = 0, lastIndex = 0, lastFlags = 0;
    for (uint32_t exchange = 0; exchange == 0 || sent < rq.count; ++exchange) {
        const uint32_t n = std::min(rq.count - sent, limit);
        // A block of its own per chunk: the caller's buffer is never changed
        // and integers are encoded from an aligned copy.
        void* block = nullptr;
        if (n) {
            block = std::malloc(size_t(n) * width);
            if (!block) return QRDERR_NM_NO_MEMORY;
            std::memcpy(block, rq.buffer + size_t(sent) * width, size_t(n) * width);
            if (rq.type == ATTR_TEXT)
                qrd::convertValue(rq.charset, static_cast<uint8_t*>(block), int32_t(n),
                                  qrd::kValueToLatin1);
        }
        const rpc::AttrValue value{uint16_t(rq.type), n, block, 0};
        // The service stores the exchanges together at the last one.
        const uint16_t part = uint16_t((exchange ? qrd::nm::kPartContinues : 0) |
                                       (sent + n < rq.count ? qrd::nm::kPartMore : 0));
        uint32_t index = 0, flags = 0;
        QRDSTATUS st =
            callOn(continuationOf(exchange), s, [&](const QRD_PORT* port, const uint8_t* sid) {
                return rpc::nmWriteAttr(port, sid, t.name, t.ocl, t.attr, rq.type, rq.index + sent,
                                        n, exchange == 0 ? rq.flags : 0, value, &index, &flags,
                                        part, rq.conditions, rq.nConditions);
            });
        std::free(block);
        if (st == QRDERR_NM_REFERRAL && exchange == 0 && referred) *referred = true;
        if (st != QRD_OK) return st;
        sent += n;
        lastIndex = index;
        lastFlags = flags;
    }
    *indexOut = lastIndex;
    *flagsOut = lastFlags;
    return QRD_OK;
}

// ---- scan -----------------------------------------------------------------

bool allZero(const QRD_SCAN_PASS& pass) {
    return std::all_of(std::begin(pass.bytes), std::end(pass.bytes),
                       [](uint8_t b) { return b == 0; });
}

struct ScanRequest {
    AttrName first, last;
    QRD_SCAN_PASS pass;
    uint16_t capacity;
    AttrName* names;
};

// Asks for the rest of the array until the pass comes back all zero or the
// array is full. A reply without names that leaves the pass as it was would
// be asked again forever: it ends the scan as well.
QRDSTATUS scanExchanges(const SessionRef& s, const AttrTarget& t, const ScanRequest& rq,
                        QRD_SCAN_PASS& passOut, uint16_t& found, bool* referred) {
    QRD_SCAN_PASS pass = rq.pass;
    uint16_t total = 0;
    for (uint32_t exchange = 0;; ++exchange) {
        const QRD_SCAN_PASS sent = pass;
        const uint16_t want = uint16_t(rq.capacity - total);
        uint16_t n = 0;
        QRDSTATUS st =
            callOn(continuationOf(exchange), s, [&](const QRD_PORT* port, const uint8_t* sid) {
                pass = sent;
                n = 0;
                return rpc::nmScanAttr(port, sid, t.name, t.ocl, rq.first, rq.last, &pass, want, &n,
                                       rq.names + total);
            });
        if (st == QRDERR_NM_REFERRAL && exchange == 0 && referred) *referred = true;
        if (st != QRD_OK) return st;
        total = uint16_t(total + n);
        if (allZero(pass) || total >= rq.capacity) break;
        if (n == 0 && std::memcmp(&pass, &sent, sizeof pass) == 0) break;
    }
    passOut = pass;
    found = total;
    return QRD_OK;
}

// Text values in memory are converted in place in pieces that convertValue
// takes; the conversion works byte by byte, so the pieces do not matter.
void convertText(uint16_t charset, uint8_t* text, uint32_t length, int direction) {
    constexpr uint32_t kPiece = 0x40000000;
    for (uint32_t at = 0; at < length;) {
        const uint32_t n = std::min(length - at, kPiece);
        qrd::convertValue(charset, text + at, int32_t(n), direction);
        at += n;
    }
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdGetSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                               const AttrName* attr, uint32_t* ulType, uint32_t* ulIndex,
                               uint32_t* ulCount, void* buffer, uint32_t* ulFlags) {
    if (!sess || !name || !attr || !ulType || !ulIndex || !ulCount || !ulFlags ||
        (!buffer && *ulCount))
        return QRDERR_NM_BAD_ARG;
    if (!validAttrType(*ulType)) return QRDERR_NM_BAD_ARG;
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, attr, t)) return st;

    const ReadRequest rq{*ulType, *ulIndex, *ulCount, *ulFlags, static_cast<uint8_t*>(buffer)};
    ReadResult res{};
    QRDSTATUS st = runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) { return readChunks(s, t, rq, res, referred); },
        [&](const SessionRef& s) {
            res = ReadResult{rq.type, rq.index, rq.count, rq.flags};
            return emu::read(s, t, &res.type, &res.index, &res.count, rq.buffer, &res.flags);
        });
    if (st != QRD_OK) return st;
    *ulType = res.type;
    *ulIndex = res.index;
    *ulCount = res.count;
    *ulFlags = res.flags;
    if (res.type == ATTR_TEXT)
        convertText(sess->charset, rq.buffer, res.count, qrd::kValueFromLatin1);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdSetSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                               const AttrName* attr, uint32_t ulType, uint32_t* ulIndex,
                               uint32_t ulCount, const void* buffer, uint32_t* ulFlags) {
    if (!sess || !name || !attr || !ulIndex || !ulFlags || (!buffer && ulCount))
        return QRDERR_NM_BAD_ARG;
    if (!validAttrType(ulType)) return QRDERR_NM_BAD_ARG;
    uint32_t flags = *ulFlags;
    if (flags == QRD_ATTR_REPLACE) {
        if (*ulIndex != 0) return QRDERR_NM_REPLACE_INDEX;
        QRDSTATUS st = QrdDeleteSNmAttr(sess, name, ocl, attr);
        if (st != QRD_OK && st != QRDERR_NM_NO_ATTR) return st;
        flags = 0;
        *ulFlags = 0;
    }
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, attr, t)) return st;

    const WriteRequest rq{
        ulType, *ulIndex, ulCount, flags, static_cast<const uint8_t*>(buffer), sess->charset};
    uint32_t index = 0, lastFlags = 0;
    QRDSTATUS st = runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) {
            return writeChunks(s, t, rq, &index, &lastFlags, referred);
        },
        [&](const SessionRef& s) -> QRDSTATUS {
            // The record holds the whole value at once: convert a copy of it.
            const size_t bytes = size_t(rq.count) * attrWidth(rq.type);
            if (bytes > emu::kValuesSize) return QRDERR_NM_NO_MEMORY;
            std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[bytes + 1]);
            if (!copy) return QRDERR_NM_NO_MEMORY;
            if (bytes) std::memcpy(copy.get(), rq.buffer, bytes);
            if (rq.type == ATTR_TEXT)
                convertText(rq.charset, copy.get(), rq.count, qrd::kValueToLatin1);
            index = rq.index;
            lastFlags = rq.flags;
            return emu::write(s, t, rq.type, &index, rq.count, copy.get(), &lastFlags);
        });
    if (st != QRD_OK) return st;
    *ulIndex = index;
    *ulFlags = lastFlags;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdSetSNmAttrIf(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                 const AttrName* attr, uint32_t ulType, uint32_t ulCount,
                                 const void* buffer, const QRD_ATTR_CONDITION* conditions,
                                 uint16_t nConditions) {
    if (!sess || !name || !attr || (!buffer && ulCount) || (!conditions && nConditions) ||
        nConditions > kConditionMax || !validAttrType(ulType))
        return QRDERR_NM_BAD_ARG;
    // A value longer than a condition may carry travels as its digest.
    rpc::WireCondition wire[kConditionMax];
    qrd::scram::Bytes digests[kConditionMax];
    for (uint16_t i = 0; i < nConditions; ++i) {
        const QRD_ATTR_CONDITION& c = conditions[i];
        wire[i].attr = c.attr;
        wire[i].bytes = static_cast<const uint8_t*>(c.bytes);
        if (c.length == QRD_ATTR_ABSENT) {
            wire[i].length = kConditionAbsent;
        } else if (c.length && !c.bytes) {
            return QRDERR_NM_BAD_ARG;
        } else if (c.length <= kConditionBytesMax) {
            wire[i].length = uint16_t(c.length);
        } else {
            const uint8_t* p = wire[i].bytes;
            digests[i] = qrd::scram::sha256(qrd::scram::Bytes(p, p + c.length));
            if (digests[i].size() != kConditionDigestBytes) return QRDERR_NM_NO_MEMORY;
            wire[i].length = kConditionDigest;
            wire[i].bytes = digests[i].data();
        }
    }
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, attr, t)) return st;
    const WriteRequest rq{
        ulType,        0,    ulCount,    kCutFlag, static_cast<const uint8_t*>(buffer),
        sess->charset, wire, nConditions};
    uint32_t index = 0, flags = 0;
    return runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) {
            return writeChunks(s, t, rq, &index, &flags, referred);
        },
        // Values kept in an association record cannot be checked and
        // stored as one step.
        [](const SessionRef&) -> QRDSTATUS { return QRDERR_NM_BAD_ARG; });
}

QRDAPI QRDSTATUS QrdDeleteSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                  const AttrName* attr) {
    if (!sess || !name || !attr) return QRDERR_NM_BAD_ARG;
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, attr, t)) return st;
    return runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) {
            return single(s, referred, [&](const QRD_PORT* port, const uint8_t* sid) {
                return rpc::nmDeleteAttr(port, sid, t.name, t.ocl, t.attr);
            });
        },
        [&](const SessionRef& s) { return emu::remove(s, t); });
}

QRDAPI QRDSTATUS QrdGetSNmAttrInfo(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                   const AttrName* attr, uint32_t* ulType, uint32_t* ulCount,
                                   uint32_t* ulBytes) {
    if (!sess || !name || !attr || !ulType || !ulCount || !ulBytes) return QRDERR_NM_BAD_ARG;
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, attr, t)) return st;
    uint32_t type = 0, count = 0, bytes = 0;
    QRDSTATUS st = runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) {
            return single(s, referred, [&](const QRD_PORT* port, const uint8_t* sid) {
                return rpc::nmAttrInfo(port, sid, t.name, t.ocl, t.attr, &type, &count, &bytes);
            });
        },
        [&](const SessionRef& s) { return emu::info(s, t, &type, &count, &bytes); });
    if (st != QRD_OK) return st;
    *ulType = type;
    *ulCount = count;
    *ulBytes = bytes;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdScanSNmAttr(QRD_NM_SESS* sess, const char* name, uint16_t ocl,
                                const AttrName* firstAttr, const AttrName* lastAttr,
                                QRD_SCAN_PASS* pass, uint16_t* nCount, AttrName* names) {
    if (!sess || !name || !firstAttr || !lastAttr || !pass || !nCount || !names)
        return QRDERR_NM_BAD_ARG;
    AttrTarget t;
    if (QRDSTATUS st = makeTarget(sess, name, ocl, firstAttr, t)) return st;

    const ScanRequest rq{*firstAttr, *lastAttr, *pass, *nCount, names};
    QRD_SCAN_PASS passOut{};
    uint16_t found = 0;
    QRDSTATUS st = runCall(
        sess, t,
        [&](const SessionRef& s, bool* referred) {
            return scanExchanges(s, t, rq, passOut, found, referred);
        },
        [&](const SessionRef& s) {
            passOut = rq.pass;
            return emu::scan(s, t, rq.first, rq.last, &passOut, rq.capacity, &found, rq.names);
        });
    if (st != QRD_OK) return st;
    *pass = passOut;
    *nCount = found;
    return QRD_OK;
}

} // extern "C"
