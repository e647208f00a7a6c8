// Feeds arbitrary bytes as replies to the result decoder of every client
// stub. No network: the decoders are the part that reads what a server sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qrd/nmdawire.h"
#include "qrdapi.h"
#include "rpc/stub.h"
#include "rpc/stubs.h"

using namespace qrd::rpc;

namespace {

// Runs `decode` over the reply as a stub would (header included, results from
// the result offset, bounded by the reply's length) and checks the bound.
template <class Decode> void asReply(const uint8_t* data, size_t size, Decode&& decode) {
    QRD_RPC_CONTROL control{};
    control.replyLength = uint32_t(size);
    control.resultOffset = 4;
    // A copy of exactly `size` bytes, so that reading past it is caught.
    auto* reply = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(reply, data, size);
    decodeReply(reply, control, [&](Xdr& x) {
        decode(x);
        if (!x.failed() && x.pos > x.size) std::abort();
    });
    std::free(reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t u32 = 0, a = 0, b = 0, c = 0, d = 0;
    uint16_t u16 = 0, n = 0;
    uint8_t sid[4];
    char name[kNameCap];
    char text[kTextCap];
    QRD_PORT port;
    QRD_SCAN_PASS pass;
    AttrName names[16];
    NmRec rec;
    uint8_t assoc[256];
    uint32_t ticks[3];
    uint32_t ints[1024];

    asReply(data, size, [&](Xdr& x) { resultsU32(x, &u32); });
    asReply(data, size, [&](Xdr& x) { resultsLongRevision(x, &u32); });
    asReply(data, size, [&](Xdr& x) { resultsSid(x, sid); });
    asReply(data, size, [&](Xdr& x) { resultsName(x, name); });
    asReply(data, size, [&](Xdr& x) { resultsPort(x, &port); });
    asReply(data, size, [&](Xdr& x) { resultsU16(x, &u16); });
    asReply(data, size, [&](Xdr& x) { resultsText(x, text); });
    asReply(data, size, [&](Xdr& x) {
        AttrValue v;
        v.data = ints;
        v.capacity = sizeof ints;
        resultsReadAttr(x, &a, &b, &c, &d, &v);
    });
    asReply(data, size, [&](Xdr& x) {
        AttrValue v; // no buffer: checked and skipped
        resultsReadAttr(x, &a, &b, &c, &d, &v);
    });
    asReply(data, size, [&](Xdr& x) {
        AttrValue v;
        v.data = ints;
        v.capacity = 7; // smaller than one element of some types
        resultsReadAttr(x, &a, &b, &c, &d, &v);
    });
    asReply(data, size, [&](Xdr& x) { resultsWriteAttr(x, &a, &b); });
    asReply(data, size, [&](Xdr& x) { resultsAttrInfo(x, &a, &b, &c); });
    asReply(data, size, [&](Xdr& x) {
        const uint16_t max = size ? uint16_t(data[0] % 17) : 0;
        resultsScanAttr(x, &pass, max, &n, names);
    });
    asReply(data, size, [&](Xdr& x) { resultsNameList(x, &u16, &rec); });
    asReply(data, size, [&](Xdr& x) { resultsAssoc(x, assoc, sizeof assoc, &u16); });
    asReply(data, size, [&](Xdr& x) { resultsAssoc(x, assoc, 3, &u16); });
    asReply(data, size, [&](Xdr& x) { resultsTimeouts(x, ticks); });

    // Directory assistance: its replies and the locate answer.
    namespace nw = qrd::nmdawire;
    if (auto r = nw::decodeDataReply(data, size); r && r->entries.size() > nw::kEntriesMax)
        std::abort();
    if (auto r = nw::decodeAttrReply(data, size); r && r->value.size() > nw::kValueMax)
        std::abort();
    nw::decodeLocateReply(data, size);
    nw::decodeLocate(data, size);
    return 0;
}
