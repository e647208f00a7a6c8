// The data and attribute queries (procedure 7): the caller's records are
// read into the shared wire layout (qrd/nmdawire.h), with every length and
// count checked, and the reply is copied back within the records' fields.
#include <algorithm>
#include <cstring>
#include <string>

#include "nmda/handle.h"
#include "nmda/locate.h"
#include "nmda/textcodes.h"
#include "qrd/bytes.h"
#include "qrd/nmdawire.h"
#include "qrd/nmproto.h"
#include "rpc/stub.h"

namespace {

namespace wire = qrd::nmdawire;
using qrd::nmda::fromService;
using qrd::nmda::toService;

constexpr int32_t kQueryTicks = 300;
constexpr uint32_t kReplyHint = 4096;
constexpr size_t kCriterionBytes = wire::kCriterionMax + 1; // NUL included

// A field's text after conversion for the service: at most `size` bytes,
// or up to its NUL.
std::string outgoing(const QRD_NMDA_SESSION& b, const char* field, size_t size) {
    std::string copy(field, strnlen(field, size));
    copy.resize(size, '\0');
    toService(b, copy.data(), size);
    copy.resize(strnlen(copy.data(), size));
    return copy;
}

// A text into a field of `size` bytes, cut to leave room for the NUL,
// converted for the caller.
void incoming(const QRD_NMDA_SESSION& b, const std::string& text, char* field, size_t size) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
    fromService(b, field, size);
}

wire::Head headOf(const QRD_NMDA_SESSION& b, uint16_t kind) {
    wire::Head h;
    h.nonce = qrd::nmda::wireNonce(b.nonce);
    h.kind = kind;
    h.intl = qrd::nmda::intlLocation();
    h.charCode = b.charCode;
    h.revision = b.revision;
    return h;
}

QRDSTATUS call(const QRD_NMDA_SESSION& b, const std::vector<uint8_t>& args,
               std::vector<uint8_t>& results) {
    const qrd::rpc::ProcInfo info{wire::kProcQuery, kQueryTicks, kReplyHint};
    return qrd::rpc::callOpaque(&b.rpcPort, info, args, results);
}

// The caller's query record in the wire layout: 0, 1005 for a pattern
// without its NUL, 1068 for a count or criterion out of range.
QRDSTATUS readQuery(const QRD_NMDA_SESSION& b, const QRD_NMDA_QUERY& q, wire::Query& out) {
    if (strnlen(q.pattern, NMNAMELEN) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    if (q.criteriaCount > QRD_NMDA_MAX_CRITERIA) return QRDERR_NM_BAD_ARG;
    out.attributeIndex = q.attributeIndex;
    out.selector = q.selector;
    out.pattern = outgoing(b, q.pattern, NMNAMELEN);
    for (uint16_t i = 0; i < q.criteriaCount; ++i) {
        const QRD_NMDA_CRITERION& c = q.criteria[i];
        if (c.valueKind != QRD_NMDA_VALUE_TEXT || c.length == 0 || c.length > kCriterionBytes ||
            !c.text)
            return QRDERR_NM_BAD_ARG;
        wire::Criterion w;
        w.match = c.match;
        w.category = c.attr.category;
        w.number = c.attr.number;
        w.valueKind = c.valueKind;
        w.text = outgoing(b, c.text, c.length);
        out.criteria.push_back(std::move(w));
    }
    return QRD_OK;
}

QRDSTATUS dataQuery(QRD_NMDA_SESSION& b, QRD_NMDA_CONTEXT* context, const QRD_NMDA_QUERY* query,
                    const QRD_NMDA_LIMITS* limits, QRD_NMDA_RESULT* result) {
    wire::DataRequest rq;
    rq.head = headOf(b, wire::kDataQuery);
    wire::Context& c = rq.context;
    c.operation = context->operation;
    c.kind = context->kind;
    c.pageSize = context->pageSize;
    c.forward = context->forward;
    c.backward = context->backward;
    c.positionText = outgoing(b, context->positionText, QRD_NMDA_TEXT_LEN);
    c.firstKey.assign(context->firstKey, strnlen(context->firstKey, NMNAMELEN - 1));
    c.lastKey.assign(context->lastKey, strnlen(context->lastKey, NMNAMELEN - 1));
    if (QRDSTATUS st = readQuery(b, *query, rq.query)) return st;
    rq.limits.flags = limits ? limits->flags : 0;
    const uint16_t asked = limits && limits->maxEntries ? limits->maxEntries : c.pageSize;
    rq.limits.maxEntries = std::min<uint16_t>(asked ? asked : QRD_NMDA_PAGE, QRD_NMDA_MAX_ENTRIES);
    rq.limits.maxBytes = limits ? limits->maxBytes : 0;

    std::vector<uint8_t> args, results;
    wire::encode(rq, args);
    if (QRDSTATUS st = call(b, args, results)) return st;
    std::optional<wire::DataReply> reply = wire::decodeDataReply(results.data(), results.size());
    // A service that sends more than was asked for is not believed.
    if (!reply || reply->entries.size() > rq.limits.maxEntries) return QRDERR_MARSHAL;

    context->forward = reply->context.forward;
    context->backward = reply->context.backward;
    incoming(b, reply->context.firstKey, context->firstKey, NMNAMELEN);
    incoming(b, reply->context.lastKey, context->lastKey, NMNAMELEN);
    std::memset(result, 0, sizeof *result);
    result->count = uint16_t(reply->entries.size());
    for (size_t i = 0; i < reply->entries.size(); ++i) {
        const wire::Entry& e = reply->entries[i];
        QRD_NMDA_ENTRY& out = result->entries[i];
        incoming(b, e.name, out.name, NMNAMELEN);
        out.status = e.status;
        out.kind = e.kind;
        out.descKind = e.descKind;
        incoming(b, e.description, out.description, NMNAMELEN);
    }
    return QRD_OK;
}

QRDSTATUS attrQuery(QRD_NMDA_SESSION& b, const char* name, uint32_t category, uint32_t number,
                    QRD_NMDA_ATTR* record) {
    wire::AttrRequest rq;
    rq.head = headOf(b, wire::kAttrQuery);
    rq.name = outgoing(b, name, NMNAMELEN);
    rq.category = category;
    rq.number = number;
    rq.type = record->type;
    rq.position = record->position;
    rq.limit = QRD_NMDA_ATTR_LIMIT;

    std::vector<uint8_t> args, results;
    wire::encode(rq, args);
    if (QRDSTATUS st = call(b, args, results)) return st;
    std::optional<wire::AttrReply> reply = wire::decodeAttrReply(results.data(), results.size());
    if (!reply) return QRDERR_MARSHAL;
    if (reply->entries == 0) return QRDERR_NMDA_NO_ENTRY;
    if (reply->entryStatus != wire::kEntryFound) return QRDERR_NMDA_ENTRY_STATUS;
    // The count must describe the value that came, within the record.
    const bool known = qrd::nm::validAttrType(reply->type);
    const size_t width = known ? qrd::nm::attrWidth(reply->type) : 1;
    if (reply->attrStatus != wire::kAttrMissing &&
        (!known || uint64_t(reply->count) * width != reply->value.size() ||
         reply->value.size() > sizeof record->value))
        return QRDERR_MARSHAL;

    incoming(b, reply->name, record->name, NMNAMELEN);
    record->status = reply->attrStatus;
    record->type = reply->type;
    record->position = reply->position;
    record->count = reply->attrStatus == wire::kAttrMissing ? 0 : reply->count;
    std::memset(record->value, 0, sizeof record->value);
    if (record->count == 0) return QRD_OK;
    if (reply->type == qrd::nm::kAttrIntegers) {
        for (uint32_t i = 0; i < record->count; ++i) {
            const uint32_t v = qrd::getBe32(reply->value.data() + 4 * i);
            std::memcpy(record->value + 4 * i, &v, 4);
        }
    } else {
        std::memcpy(record->value, reply->value.data(), reply->value.size());
        if (reply->type == QRD_NMDA_VALUE_TEXT)
            qrd::nmda::valueFromService(b, record->value, reply->value.size());
    }
    return QRD_OK;
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdGetNmdaData(QRD_NMDA_HANDLE handle, QRD_NMDA_CONTEXT* context,
                                QRD_NMDA_QUERY* query, const QRD_NMDA_LIMITS* limits,
                                QRD_NMDA_RESULT* result) {
    if (!context || !query || !result) return QRDERR_NM_BAD_ARG;
    qrd::nmda::Locked l(handle);
    if (!l.ok()) return QRDERR_NO_MEMORY;
    if (QRDSTATUS st = qrd::nmda::checkLogin(l.block())) return st;
    return dataQuery(l.block(), context, query, limits, result);
}

QRDAPI QRDSTATUS QrdGetNmdaAttr(QRD_NMDA_HANDLE handle, const char* name, uint32_t attributeIndex,
                                uint32_t selector, QRD_NMDA_ATTR* record) {
    if (!name || !record) return QRDERR_NM_BAD_ARG;
    if (strnlen(name, NMNAMELEN) >= NMNAMELEN) return QRDERR_NM_NAME_TOO_LONG;
    qrd::nmda::Locked l(handle);
    if (!l.ok()) return QRDERR_NO_MEMORY;
    if (QRDSTATUS st = qrd::nmda::checkLogin(l.block())) return st;
    return attrQuery(l.block(), name, attributeIndex, selector, record);
}

} // extern "C"
