#include "exchange_count.h"

#include <algorithm>
#include <atomic>

#include "namedir/qrdclient.h"

namespace bench {

namespace {
std::atomic<uint64_t> g_reads{0}, g_writes{0};

constexpr uint64_t kChunkBytes = 4096; // raw value bytes per exchange
constexpr uint64_t kChunkInts = 1000;  // integers per exchange

uint64_t chunks(uint32_t type, uint32_t count) {
    uint64_t per = type == ATTR_INTEGERS ? kChunkInts : kChunkBytes;
    return std::max<uint64_t>(1, (uint64_t(count) + per - 1) / per);
}

const QrdClientCalls& real() {
    return qrdDefaultClientCalls();
}

// Calls that are one exchange each.
template <auto Member, class... A> QRDSTATUS one(A... args) {
    ++g_reads;
    return (real().*Member)(args...);
}

QRDSTATUS getAttr(QRD_NM_SESS* s, const char* n, uint16_t o, const AttrName* a, uint32_t* type,
                  uint32_t* index, uint32_t* count, void* buffer, uint32_t* flags) {
    QRDSTATUS st = real().getSNmAttr(s, n, o, a, type, index, count, buffer, flags);
    g_reads += st == 0 ? chunks(*type, *count) : 1;
    return st;
}

QRDSTATUS setAttr(QRD_NM_SESS* s, const char* n, uint16_t o, const AttrName* a, uint32_t type,
                  uint32_t* index, uint32_t count, const void* buffer, uint32_t* flags) {
    g_writes += chunks(type, count);
    return real().setSNmAttr(s, n, o, a, type, index, count, buffer, flags);
}

QRDSTATUS setAttrIf(QRD_NM_SESS* s, const char* n, uint16_t o, const AttrName* a, uint32_t type,
                    uint32_t count, const void* buffer, const QRD_ATTR_CONDITION* c, uint16_t nc) {
    g_writes += chunks(type, count);
    return real().setSNmAttrIf(s, n, o, a, type, count, buffer, c, nc);
}

QRDSTATUS deleteAttr(QRD_NM_SESS* s, const char* n, uint16_t o, const AttrName* a) {
    ++g_writes;
    return real().deleteSNmAttr(s, n, o, a);
}

QrdClientCalls makeTable() {
    QrdClientCalls t = real();
    t.formatSNmName = one<&QrdClientCalls::formatSNmName>;
    t.formatSNmGroup = one<&QrdClientCalls::formatSNmGroup>;
    t.formatSNmOrg = one<&QrdClientCalls::formatSNmOrg>;
    t.getSNmUserAttrib = one<&QrdClientCalls::getSNmUserAttrib>;
    t.listSNmNames = one<&QrdClientCalls::listSNmNames>;
    t.getSNmListMembers = one<&QrdClientCalls::getSNmListMembers>;
    t.testSNmMembership = one<&QrdClientCalls::testSNmMembership>;
    t.getSNmAttrInfo = one<&QrdClientCalls::getSNmAttrInfo>;
    t.scanSNmAttr = one<&QrdClientCalls::scanSNmAttr>;
    t.getSNmAttr = getAttr;
    t.setSNmAttr = setAttr;
    t.setSNmAttrIf = setAttrIf;
    t.deleteSNmAttr = deleteAttr;
    return t;
}
} // namespace

const QrdClientCalls& countingClientCalls() {
    static const QrdClientCalls table = makeTable();
    return table;
}

ExchangeCount exchangesSoFar() {
    return {g_reads.load(), g_writes.load()};
}

} // namespace bench
