// Raw attribute values of Namewright objects.
#include <algorithm>
#include <cstring>

#include "qrd/latin1.h"
#include "qrdapi/internal.h"

using namespace namedir;

namespace {
constexpr uint32_t kWriteFlags = 2; // the value ends after this write
constexpr uint16_t kScanBatch = 10; // names asked for per scan call
// A size beyond this from the service is not believed: desktop values are
// small, and the service stores at most 1 MiB.
constexpr uint64_t kMaxValueBytes = 16u << 20;
constexpr uint32_t kOneExchange = 4096; // bytes of a raw value in one exchange

// The holder's name for the client API and its object class.
struct Holder {
    std::string wire;
    uint16_t ocl = QRD_OCL_OBJECT;
};

QRDSTATUS holderOf(const std::string& name, Holder& h) {
    if (QRDSTATUS st = wireName(name, h.wire)) return check(st);
    h.ocl = holderClass(h.wire);
    return 0;
}
} // namespace

namespace {
// The general read: the size first, then the whole value in as many
// exchanges as it needs.
QRDSTATUS readSized(const Holder& h, const AttrName& attr, std::vector<uint8_t>& bytes) {
    uint32_t type = 0, count = 0, size = 0;
    QRDSTATUS st = withRetry([&] {
        return client().getSNmAttrInfo(threadSession(), h.wire.c_str(), h.ocl, &attr, &type, &count,
                                       &size);
    });
    if (st != 0) return st;
    if (size == 0 || count == 0) {
        bytes.clear();
        return 0;
    }
    const uint32_t width = type == ATTR_INTEGERS ? 4 : 1;
    const uint64_t need = std::max<uint64_t>(size, uint64_t(count) * width);
    if (need > kMaxValueBytes) return check(CQrdApi::kOutOfMemory);
    std::vector<uint8_t> value(need);
    uint32_t received = 0;
    st = withRetry([&] {
        uint32_t readType = type, index = 0, flags = 0;
        received = count;
        return client().getSNmAttr(threadSession(), h.wire.c_str(), h.ocl, &attr, &readType, &index,
                                   &received, value.data(), &flags);
    });
    if (st != 0) return st;
    value.resize(std::min<uint64_t>(uint64_t(received) * width, value.size()));
    bytes.swap(value);
    return 0;
}
} // namespace

QRDSTATUS CQrdApi::readAttribute(const std::string& holder, uint32_t attrCategory,
                                 uint32_t attrNumber, std::vector<uint8_t>& bytes) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        Holder h;
        if (QRDSTATUS st = holderOf(holder, h)) return st;
        const AttrName attr{attrCategory, attrNumber};
        // Desktop values are raw bytes and most fit one exchange: read that
        // much at once, and ask for the size only when more follows (or when
        // the value holds integers, which the service will not hand out as
        // bytes).
        std::vector<uint8_t> first(kOneExchange);
        uint32_t received = 0, flags = 0;
        QRDSTATUS st = withRetry(
            [&] {
                uint32_t type = ATTR_RAW, index = 0;
                received = kOneExchange;
                flags = 0;
                return client().getSNmAttr(threadSession(), h.wire.c_str(), h.ocl, &attr, &type,
                                           &index, &received, first.data(), &flags);
            },
            false);
        if (st == 0 && !(flags & QRD_ATTR_MORE)) {
            first.resize(std::min<uint32_t>(received, kOneExchange));
            bytes.swap(first);
            return 0;
        }
        if (st != 0 && st != QRDERR_NM_BAD_ARG) return check(st);
        return readSized(h, attr, bytes);
    });
}

QRDSTATUS CQrdApi::writeAttribute(const std::string& holder, uint32_t attrCategory,
                                  uint32_t attrNumber, uint32_t length, const uint8_t* bytes) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        if (!bytes && length) return check(QRDERR_NM_BAD_ARG);
        Holder h;
        if (QRDSTATUS st = holderOf(holder, h)) return st;
        const AttrName attr{attrCategory, attrNumber};
        static const uint8_t kNothing = 0;
        return withRetry([&] {
            uint32_t index = 0, flags = kWriteFlags;
            return client().setSNmAttr(threadSession(), h.wire.c_str(), h.ocl, &attr, ATTR_RAW,
                                       &index, length, bytes ? bytes : &kNothing, &flags);
        });
    });
}

QRDSTATUS CQrdApi::writeAttribute(const std::string& holder, uint32_t attrCategory,
                                  uint32_t attrNumber, const std::vector<uint8_t>& bytes) {
    if (bytes.size() > UINT32_MAX) return check(QRDERR_NM_BAD_ARG);
    return writeAttribute(holder, attrCategory, attrNumber, uint32_t(bytes.size()), bytes.data());
}

QRDSTATUS CQrdApi::writeAttributeIf(const std::string& holder, uint32_t attrCategory,
                                    uint32_t attrNumber, const std::vector<uint8_t>& bytes,
                                    const std::vector<QRD_ATTR_CONDITION>& conditions) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        if (bytes.size() > UINT32_MAX || conditions.size() > QRD_ATTR_CONDITIONS_MAX)
            return check(QRDERR_NM_BAD_ARG);
        Holder h;
        if (QRDSTATUS st = holderOf(holder, h)) return st;
        const AttrName attr{attrCategory, attrNumber};
        static const uint8_t kNothing = 0;
        // A retry after a lost reply may find its own write done: the
        // caller reads the value to tell that from another's.
        return withRetry([&] {
            return client().setSNmAttrIf(threadSession(), h.wire.c_str(), h.ocl, &attr, ATTR_RAW,
                                         uint32_t(bytes.size()),
                                         bytes.empty() ? &kNothing : bytes.data(),
                                         conditions.data(), uint16_t(conditions.size()));
        });
    });
}

QRDSTATUS CQrdApi::deleteAttribute(const std::string& holder, uint32_t attrCategory,
                                   uint32_t attrNumber) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        Holder h;
        if (QRDSTATUS st = holderOf(holder, h)) return st;
        const AttrName attr{attrCategory, attrNumber};
        return withRetry(
            [&] { return client().deleteSNmAttr(threadSession(), h.wire.c_str(), h.ocl, &attr); });
    });
}

QRDSTATUS CQrdApi::scanAttributes(const std::string& holder, const AttrName& first,
                                  const AttrName& last, std::vector<AttrName>& out) {
    return noThrow(kOutOfMemory, [&]() -> QRDSTATUS {
        Holder h;
        if (QRDSTATUS st = holderOf(holder, h)) return st;
        QRD_SCAN_PASS pass{};
        const QRD_SCAN_PASS done{};
        do {
            AttrName names[kScanBatch];
            uint16_t count = kScanBatch;
            QRDSTATUS st = check(client().scanSNmAttr(threadSession(), h.wire.c_str(), h.ocl,
                                                      &first, &last, &pass, &count, names));
            if (st != 0) return st;
            out.insert(out.end(), names, names + std::min<uint16_t>(count, kScanBatch));
        } while (std::memcmp(&pass, &done, sizeof pass) != 0);
        return 0;
    });
}
