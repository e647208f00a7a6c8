#include "nmobject.h"

#include <algorithm>

#include "namedir/codecs.h"
#include "namedir/errors.h"
#include "namedir/layout.h"

namespace namedir {

using namespace layout;

std::string keyOf(const DIRDirectoryAddress* address) {
    return address ? address->uniqueKey : std::string();
}

// The stored entry: the address is copied (it stays the caller's). The time
// is the address's: an entry reads back with its address rebuilt from that
// time, so any other time would give it another key.
DIRRefInfo refEntryOf(const DIRRefInfo& item) {
    DIRRefInfo r = item;
    if (const DIRNmDirectoryAddress* a = r.address.nm()) r.time = a->nmTime;
    return r;
}

long NmObject::open(const DIRDirectoryAddress* address) {
    const auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address);
    if (!nm || nm->nmName.empty() || nm->attrNumber < 0) return DIR_ADDRESS_UNSET;
    address_ = std::make_unique<DIRNmDirectoryAddress>(*nm);
    long ignored = 0;
    address_->validateNMDirAddress(ignored, true);
    main_ = AttrStream(address_->nmName, kCatMain, uint32_t(address_->attrNumber));
    streams_.clear();
    dirty_.clear();
    mainDirty_ = false;
    long e = main_.read(store_);
    if (e == DIR_ATTR_MISSING || e == DIR_ACCESS_DENIED) {
        exists_ = false;
        main_.clear();
        setMissingMainRecord(header_);
        return DIR_OK;
    }
    if (e) return e;
    exists_ = true;
    return decodeMainRecord(main_, header_);
}

long NmObject::open(const std::string& holder, uint32_t number, DIRTime time) {
    DIRNmDirectoryAddress a(holder, kCatMain, long(number), time);
    return open(&a);
}

void NmObject::setHeader(const DIRCommonInfo& r) {
    header_.base = r.base;
    header_.creator = r.creator;
    header_.name = r.name;
    header_.extraText = r.extraText;
    header_.longText = r.longText;
    header_.description = r.description;
    mainDirty_ = true;
}

long NmObject::stream(uint32_t category, AttrStream*& s) {
    auto it = streams_.find(category);
    if (it == streams_.end()) {
        auto fresh = std::make_unique<AttrStream>(holder(), category, number());
        long e = fresh->read(store_);
        if (e && e != DIR_ATTR_MISSING) return e;
        it = streams_.emplace(category, std::move(fresh)).first;
    }
    s = it->second.get();
    return DIR_OK;
}

long NmObject::getRefs(uint32_t category, std::vector<DIRRefInfo>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(category, s)) return e;
    if (s->size() == 0) {
        list.clear();
        return DIR_OK;
    }
    return decodeReferences(*s, list);
}

long NmObject::putRefs(uint32_t category, const std::vector<DIRRefInfo>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(category, s)) return e;
    dirty_[category] = true;
    return encodeReferences(list, *s);
}

long NmObject::getParents(std::vector<DIRParentInfo>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatParents, s)) return e;
    if (s->size() == 0) {
        list.clear();
        return DIR_OK;
    }
    return decodeParents(*s, list);
}

long NmObject::putParents(const std::vector<DIRParentInfo>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatParents, s)) return e;
    dirty_[kCatParents] = true;
    return encodeParents(list, *s);
}

long NmObject::getAccessRights(std::vector<DIRAccessRight>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatAccessRights, s)) return e;
    if (s->size() == 0) {
        list.clear();
        return DIR_OK;
    }
    return decodeAccessRights(*s, list);
}

long NmObject::putAccessRights(const std::vector<DIRAccessRight>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatAccessRights, s)) return e;
    dirty_[kCatAccessRights] = true;
    return encodeAccessRights(list, *s);
}

long NmObject::getTypeData(DIRCommonInfo& record) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatTypeData, s)) return e;
    if (s->size() == 0) {
        // A folder without subscribers has no attribute: an empty list.
        if (auto* f = dynamic_cast<DIRFolder*>(&record)) f->subscribers.clear();
        return DIR_OK;
    }
    return decodeTypeData(*s, record);
}

long NmObject::putTypeData(const DIRCommonInfo& record) {
    AttrStream* s = nullptr;
    if (long e = stream(kCatTypeData, s)) return e;
    dirty_[kCatTypeData] = true;
    return encodeTypeData(record, *s);
}

long NmObject::commit() {
    for (auto& [category, dirty] : dirty_) {
        if (!dirty) continue;
        if (long e = streams_[category]->write(store_)) return e;
        dirty = false;
    }
    if (!mainDirty_) return DIR_OK;
    // Never the stored time again: see the file's header.
    DIRTime now = std::max<DIRTime>(DIRCurrentTime(), header_.base.modified + 1);
    if (long e = encodeMainRecord(header_, now, main_)) return e;
    if (long e = main_.write(store_)) return e;
    if (header_.base.created == 0) header_.base.created = now;
    if (header_.base.version == 0) header_.base.version = 1;
    header_.base.modified = now;
    exists_ = true;
    mainDirty_ = false;
    return DIR_OK;
}

} // namespace namedir
