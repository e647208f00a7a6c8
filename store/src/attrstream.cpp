#include "namedir/attrstream.h"

#include <cstring>

#include "namedir/errors.h"
#include "qrd/bytes.h"
#include "qrd/nmproto.h"
#include "utf16.h"

namespace namedir {

AttrStore::~AttrStore() = default;

AttrStream::AttrStream(std::string holder, uint32_t category, uint32_t number)
    : holder_(std::move(holder)), category_(category), number_(number) {
    bytes_.reserve(kReserved);
}

long AttrStream::read(AttrStore& store) {
    std::vector<uint8_t> stored;
    QRDSTATUS status = store.read(holder_, category_, number_, stored);
    if (status != 0) {
        clear();
        if (status == QRDERR_NM_NO_ATTR) return DIR_ATTR_MISSING;
        if (status == uint16_t(qrd::nm::kAccessDenied)) return DIR_ACCESS_DENIED;
        return DIR_ATTR_READ;
    }
    load(std::move(stored));
    return DIR_OK;
}

long AttrStream::readForRewrite(AttrStore& store) {
    long e = read(store);
    return e == DIR_ATTR_MISSING ? long(DIR_OK) : e;
}

long AttrStream::write(AttrStore& store) const {
    return store.write(holder_, category_, number_, bytes()) == 0 ? DIR_OK : DIR_ATTR_WRITE;
}

long AttrStream::remove(AttrStore& store, long failure) const {
    QRDSTATUS status = store.remove(holder_, category_, number_);
    if (status == 0) return DIR_OK;
    return status == QRDERR_NM_NO_ATTR ? DIR_ATTR_MISSING : failure;
}

void AttrStream::load(std::vector<uint8_t> bytes) {
    bytes_ = std::move(bytes);
    mark_ = bytes_.size();
}

void AttrStream::clear() {
    bytes_.clear();
    mark_ = 0;
}

std::vector<uint8_t> AttrStream::bytes() const {
    return std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + long(mark_));
}

uint8_t* AttrStream::room(uint32_t at, size_t n) {
    size_t end = size_t(at) + n;
    if (bytes_.size() < end) bytes_.resize(end, 0);
    if (mark_ < end) mark_ = end;
    return bytes_.data() + at;
}

void AttrStream::putU32(uint32_t at, uint32_t value) {
    qrd::putLe32(room(at, 4), value);
}

long AttrStream::putText(uint32_t lengthAt, uint32_t dataAt, uint32_t limit,
                         const std::string& text, TextPlace place, uint32_t* end) {
    std::u16string units;
    if (!utf16::fromUtf8(text, units)) return DIR_UNICODE_CONVERSION;
    size_t n = units.size();
    if (limit != 0 && 2 * n > limit) return DIR_STRING_TOO_LONG;
    // The terminating zero is left out only where it would spill past a slot.
    bool terminate = limit == 0 || place == TextPlace::Packed || 2 * n + 2 <= limit;
    uint8_t* p = room(dataAt, 2 * n + (terminate ? 2 : 0));
    for (size_t i = 0; i < n; ++i)
        qrd::putLe16(p + 2 * i, units[i]);
    if (terminate) qrd::putLe16(p + 2 * n, 0);
    putU32(lengthAt, uint32_t(n));
    if (end) *end = uint32_t(dataAt + 2 * n);
    return DIR_OK;
}

void AttrStream::putBlock(uint32_t lengthAt, uint32_t dataAt, const std::vector<uint8_t>& block) {
    putU32(lengthAt, uint32_t(block.size()));
    uint8_t* p = room(dataAt, block.size());
    if (!block.empty()) std::memcpy(p, block.data(), block.size());
}

long AttrStream::getU32(uint32_t at, uint32_t& value) const {
    if (!holds(at, 4)) return DIR_ATTR_READ;
    value = qrd::getLe32(bytes_.data() + at);
    return DIR_OK;
}

long AttrStream::getLong(uint32_t at, long& value) const {
    uint32_t word = 0;
    if (long e = getU32(at, word)) return e;
    value = long(int32_t(word));
    return DIR_OK;
}

long AttrStream::getText(uint32_t lengthAt, uint32_t dataAt, uint32_t limit, std::string& text,
                         uint32_t* end) const {
    uint32_t n = 0;
    if (long e = getU32(lengthAt, n)) return e;
    uint64_t size = 2 * uint64_t(n);
    if ((limit != 0 && size > limit) || !holds(dataAt, size)) return DIR_ATTR_READ;
    if (!utf16::toUtf8(bytes_.data() + dataAt, n, text)) return DIR_UNICODE_CONVERSION;
    if (end) *end = uint32_t(dataAt + size);
    return DIR_OK;
}

long AttrStream::getBlock(uint32_t lengthAt, uint32_t dataAt, std::vector<uint8_t>& block) const {
    uint32_t n = 0;
    if (long e = getU32(lengthAt, n)) return e;
    if (!holds(dataAt, n)) return DIR_ATTR_READ;
    block.assign(bytes_.begin() + dataAt, bytes_.begin() + dataAt + n);
    return DIR_OK;
}

} // namespace namedir
