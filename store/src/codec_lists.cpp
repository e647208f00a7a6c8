// List attributes: a 32-bit count at 0, entries from 4, each entry's texts
// packed one after another; a 16-bit zero ends the attribute.
#include "namedir/codecs.h"
#include "namedir/errors.h"

namespace namedir {

using namespace layout;

namespace {

// Writes `list` as entries, each through `put(entry, at, end)`.
template <typename T, typename Put>
long encodeList(const std::vector<T>& list, AttrStream& s, Put put) {
    s.clear();
    s.putU32(kListCount, uint32_t(list.size()));
    uint32_t at = kListEntries;
    for (const T& entry : list)
        if (long e = put(entry, at, at)) return e;
    return DIR_OK;
}

// Reads the entries through `get(entry, at, end)`. A count of 0 or less is an
// empty list; a count that more entries than the attribute could hold is
// refused before anything is reserved.
template <typename T, typename Get>
long decodeList(const AttrStream& s, uint32_t entryFixed, std::vector<T>& list, Get get) {
    long count = 0;
    if (long e = s.getLong(kListCount, count)) return e;
    std::vector<T> out;
    if (count > 0) {
        if (uint64_t(count) * entryFixed > s.size() - kListEntries) return DIR_ATTR_READ;
        out.resize(size_t(count));
        uint32_t at = kListEntries;
        for (T& entry : out)
            if (long e = get(entry, at, at)) return e;
    }
    list = std::move(out);
    return DIR_OK;
}

long checkType(long type) {
    return type < 0 || type > DIR_TYPE_FREE ? long(DIR_INVALID_TYPE) : long(DIR_OK);
}

// A stored address, checked by its name only (no round trip to the
// directory while reading).
DIRAddressPtr storedAddress(const std::string& holder, long category, long number, DIRTime time) {
    auto* a = new DIRNmDirectoryAddress(holder, category, number, time);
    long ignored = 0;
    a->validateNMDirAddress(ignored, true);
    return DIRAddressPtr(a);
}

// A name entry (access rights, subscribers): a word, the length, the name.
long putNameEntry(AttrStream& s, uint32_t at, uint32_t word, const std::string& name,
                  uint32_t limit, uint32_t& end) {
    s.putU32(at, word);
    return s.putText(at + 4, at + 8, limit, name, TextPlace::Packed, &end);
}

long getNameEntry(const AttrStream& s, uint32_t at, long& word, std::string& name, uint32_t limit,
                  uint32_t& end) {
    if (long e = s.getLong(at, word)) return e;
    return s.getText(at + 4, at + 8, limit, name, &end);
}

} // namespace

long encodeAccessRights(const std::vector<DIRAccessRight>& list, AttrStream& s) {
    return encodeList(list, s, [&](const DIRAccessRight& r, uint32_t at, uint32_t& end) {
        return putNameEntry(s, at, uint32_t(r.rights), r.name, kRightsNameLimit, end);
    });
}

long decodeAccessRights(const AttrStream& s, std::vector<DIRAccessRight>& list) {
    return decodeList(s, kRightsEntryFixed, list,
                      [&](DIRAccessRight& r, uint32_t at, uint32_t& end) {
                          return getNameEntry(s, at, r.rights, r.name, kRightsNameLimit, end);
                      });
}

long encodeSubscribers(const std::vector<DIRSubscriber>& list, AttrStream& s) {
    return encodeList(list, s, [&](const DIRSubscriber& sub, uint32_t at, uint32_t& end) {
        return putNameEntry(s, at, 0, sub.name, kSubscriberNameLimit, end);
    });
}

long decodeSubscribers(const AttrStream& s, std::vector<DIRSubscriber>& list) {
    return decodeList(s, kSubscriberEntryFixed, list,
                      [&](DIRSubscriber& sub, uint32_t at, uint32_t& end) {
                          long reserved = 0;
                          sub.state = kSubscriberState;
                          return getNameEntry(s, at, reserved, sub.name, kSubscriberNameLimit, end);
                      });
}

long encodeParents(const std::vector<DIRParentInfo>& list, AttrStream& s) {
    return encodeList(list, s, [&](const DIRParentInfo& p, uint32_t at, uint32_t& end) {
        const DIRNmDirectoryAddress* a = p.address.nm();
        if (!a) return long(DIR_NAME_UNRESOLVED);
        s.putU32(at, uint32_t(p.flags));
        s.putU32(at + 4, uint32_t(a->attrCategory));
        s.putU32(at + 8, uint32_t(a->attrNumber));
        s.putU32(at + 12, a->nmTime);
        return s.putText(at + 16, at + 20, kParentNameLimit, a->nmName, TextPlace::Packed, &end);
    });
}

long decodeParents(const AttrStream& s, std::vector<DIRParentInfo>& list) {
    return decodeList(s, kParentEntryFixed, list,
                      [&](DIRParentInfo& p, uint32_t at, uint32_t& end) {
                          long category = 0, number = 0;
                          uint32_t time = 0;
                          std::string holder;
                          if (long e = s.getLong(at, p.flags)) return e;
                          if (long e = s.getLong(at + 4, category)) return e;
                          if (long e = s.getLong(at + 8, number)) return e;
                          if (long e = s.getU32(at + 12, time)) return e;
                          if (long e = s.getText(at + 16, at + 20, kParentNameLimit, holder, &end))
                              return e;
                          p.address = storedAddress(holder, category, number, time);
                          return long(DIR_OK);
                      });
}

long encodeReferences(const std::vector<DIRRefInfo>& list, AttrStream& s) {
    bool keepValue = s.category() != kCatContents;
    return encodeList(list, s, [&](const DIRRefInfo& r, uint32_t at, uint32_t& end) {
        const DIRNmDirectoryAddress* a = r.address.nm();
        if (!a) return long(DIR_NAME_UNRESOLVED);
        s.putU32(at + kRefType, uint32_t(r.objectType));
        s.putU32(at + kRefValue, keepValue ? uint32_t(r.refValue) : 0);
        s.putU32(at + kRefFlags, r.shared ? kFlagShared : 0);
        s.putU32(at + kRefCategory, uint32_t(a->attrCategory));
        s.putU32(at + kRefNumber, uint32_t(a->attrNumber));
        s.putU32(at + kRefTime, r.time);
        uint32_t p = 0;
        if (long e = s.putText(at + kRefHolderLength, at + kRefEntryFixed, kRefHolderLimit,
                               a->nmName, TextPlace::Packed, &p))
            return e;
        if (long e =
                s.putText(at + kRefNameLength, p, kRefNameLimit, r.name, TextPlace::Packed, &p))
            return e;
        return s.putText(at + kRefTextLength, p, kRefTextLimit, r.refText, TextPlace::Packed, &end);
    });
}

long decodeReferences(const AttrStream& s, std::vector<DIRRefInfo>& list) {
    bool keepValue = s.category() != kCatContents;
    return decodeList(s, kRefEntryFixed, list, [&](DIRRefInfo& r, uint32_t at, uint32_t& end) {
        long category = 0, number = 0;
        uint32_t flags = 0, time = 0, p = 0;
        std::string holder;
        if (long e = s.getLong(at + kRefType, r.objectType)) return e;
        if (long e = checkType(r.objectType)) return e;
        if (long e = s.getLong(at + kRefValue, r.refValue)) return e;
        if (long e = s.getU32(at + kRefFlags, flags)) return e;
        if (long e = s.getLong(at + kRefCategory, category)) return e;
        if (long e = s.getLong(at + kRefNumber, number)) return e;
        if (long e = s.getU32(at + kRefTime, time)) return e;
        if (long e =
                s.getText(at + kRefHolderLength, at + kRefEntryFixed, kRefHolderLimit, holder, &p))
            return e;
        if (long e = s.getText(at + kRefNameLength, p, kRefNameLimit, r.name, &p)) return e;
        if (long e = s.getText(at + kRefTextLength, p, kRefTextLimit, r.refText, &end)) return e;
        if (!keepValue) r.refValue = 0;
        r.shared = (flags & kFlagShared) ? 1 : 0;
        r.time = time;
        r.address = storedAddress(holder, category, number, time);
        return long(DIR_OK);
    });
}

} // namespace namedir
