#include "nmobject.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "namedir/codecs.h"
#include "namedir/errors.h"
#include "namedir/freelist.h"
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

namespace {

// Main record word 8: 1 once the object carries an update ticket.
constexpr uint32_t kTicketed = 1;

bool ordinary(uint32_t number) {
    return holderRange(false).contains(number) || holderRange(true).contains(number);
}

} // namespace

NmObject::~NmObject() {
    release();
}

long NmObject::open(const DIRDirectoryAddress* address) {
    release();
    const auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address);
    if (!nm || nm->nmName.empty() || nm->attrNumber < 0) return DIR_ADDRESS_UNSET;
    address_ = std::make_unique<DIRNmDirectoryAddress>(*nm);
    long ignored = 0;
    address_->validateNMDirAddress(ignored, true);
    main_ = AttrStream(address_->nmName, kCatMain, uint32_t(address_->attrNumber));
    streams_.clear();
    dirty_.clear();
    read_.clear();
    mainDirty_ = false;
    return readMain();
}

long NmObject::readMain() {
    long e = main_.read(store_);
    if (e == DIR_ATTR_MISSING || e == DIR_ACCESS_DENIED) {
        exists_ = false;
        main_.clear();
        setMissingMainRecord(header_);
        if (e == DIR_ATTR_MISSING) read_[kCatMain] = Read{false, {}};
        return DIR_OK;
    }
    if (e) return e;
    read_[kCatMain] = Read{true, main_.bytes()};
    exists_ = true;
    return decodeMainRecord(main_, header_);
}

long NmObject::open(const std::string& holder, uint32_t number, DIRTime time) {
    DIRNmDirectoryAddress a(holder, kCatMain, long(number), time);
    return open(&a);
}

void copyHeader(const DIRCommonInfo& from, DIRCommonInfo& to) {
    to.base = from.base;
    to.creator = from.creator;
    to.name = from.name;
    to.extraText = from.extraText;
    to.longText = from.longText;
    to.description = from.description;
}

void NmObject::setHeader(const DIRCommonInfo& r) {
    copyHeader(r, header_);
    mainDirty_ = true;
}

long NmObject::stream(uint32_t category, AttrStream*& s, bool read) {
    auto it = streams_.find(category);
    if (it == streams_.end()) {
        auto fresh = std::make_unique<AttrStream>(holder(), category, number());
        long e = read ? fresh->read(store_) : long(DIR_OK);
        if (e && e != DIR_ATTR_MISSING) return e;
        if (read) read_[category] = Read{e == DIR_OK, fresh->bytes()};
        it = streams_.emplace(category, std::move(fresh)).first;
    }
    s = it->second.get();
    return DIR_OK;
}

template <typename T>
long NmObject::getList(uint32_t category, long (*decode)(const AttrStream&, std::vector<T>&),
                       std::vector<T>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(category, s)) return e;
    if (s->size() == 0) {
        list.clear();
        return DIR_OK;
    }
    return decode(*s, list);
}

template <typename T>
long NmObject::putList(uint32_t category, long (*encode)(const std::vector<T>&, AttrStream&),
                       const std::vector<T>& list) {
    AttrStream* s = nullptr;
    if (long e = stream(category, s, false)) return e;
    dirty_[category] = true;
    return encode(list, *s);
}

long NmObject::getRefs(uint32_t category, std::vector<DIRRefInfo>& list) {
    return getList(category, decodeReferences, list);
}
long NmObject::putRefs(uint32_t category, const std::vector<DIRRefInfo>& list) {
    return putList(category, encodeReferences, list);
}
long NmObject::getParents(std::vector<DIRParentInfo>& list) {
    return getList(kCatParents, decodeParents, list);
}
long NmObject::putParents(const std::vector<DIRParentInfo>& list) {
    return putList(kCatParents, encodeParents, list);
}
long NmObject::getAccessRights(std::vector<DIRAccessRight>& list) {
    return getList(kCatAccessRights, decodeAccessRights, list);
}
long NmObject::putAccessRights(const std::vector<DIRAccessRight>& list) {
    return putList(kCatAccessRights, encodeAccessRights, list);
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

long NmObject::claim() {
    if (ticket_ || !ordinary(number())) return DIR_OK;
    StillWatch watch(kStaleClaim);
    for (int round = 0;; ++round) {
        auto ticket = std::make_unique<Ticket>(store_, holder(), number());
        long e = ticket->take();
        // No ticket at all: an object written before tickets.
        if (e == Ticket::kTicketBusy && !ticket->seen().present) e = ticket->takeOver({});
        if (e == DIR_OK) {
            ticket_ = std::move(ticket);
            break;
        }
        if (e != Ticket::kTicketBusy) return e;
        // A claim that stays while the object does not change is a writer
        // that stopped.
        if (long r = readMain()) return r;
        std::vector<uint8_t> watched = ticket->seen().bytes;
        const std::vector<uint8_t> stored = main_.bytes();
        watched.insert(watched.end(), stored.begin(), stored.end());
        if (watch.still(watched)) {
            e = ticket->takeOver(ticket->seen());
            if (e == DIR_OK) {
                ticket_ = std::move(ticket);
                break;
            }
            if (e != Ticket::kTicketBusy) return e;
        }
        ticketPause(round);
    }
    streams_.clear();
    dirty_.clear();
    read_.clear();
    return readMain();
}

long claimBoth(NmObject& a, NmObject& b) {
    // One order for every workstation, so that two claimants of the same
    // pair never wait for each other.
    bool same = a.address().uniqueKey == b.address().uniqueKey;
    NmObject& first = a.address().uniqueKey < b.address().uniqueKey ? a : b;
    NmObject& second = &first == &a ? b : a;
    if (long e = first.claim()) return e;
    return same ? long(DIR_OK) : second.claim();
}

void NmObject::release() {
    if (ticket_) ticket_->release();
    ticket_.reset();
}

long NmObject::write(const AttrStream& s) {
    std::vector<AttrCondition> conditions;
    if (ticket_) {
        conditions.push_back(ticket_->claimed());
    } else if (!ordinary(number())) {
        auto it = read_.find(s.category());
        if (it != read_.end())
            conditions.push_back(
                AttrCondition{s.category(), number(), !it->second.first, it->second.second});
        // The main record names the last change: a change of the lists by
        // another workstation since this one read it moved that too.
        auto main = read_.find(kCatMain);
        if (s.category() != kCatMain && main != read_.end())
            conditions.push_back(
                AttrCondition{kCatMain, number(), !main->second.first, main->second.second});
    }
    if (conditions.empty()) return s.write(store_);
    QRDSTATUS st = store_.writeIf(holder(), s.category(), number(), s.bytes(), conditions);
    if (st == QRDERR_NM_CONDITION_FAILED) return kWriteRaced;
    return st == 0 ? long(DIR_OK) : long(DIR_ATTR_WRITE);
}

long NmObject::commit() {
    for (auto& [category, dirty] : dirty_) {
        if (!dirty) continue;
        const AttrStream& s = *streams_[category];
        if (long e = write(s)) return e;
        // A later write of this commit checks against what this one left.
        read_[category] = Read{true, s.bytes()};
        dirty = false;
    }
    if (!mainDirty_) {
        release();
        return DIR_OK;
    }
    // Never the stored time again: see the file's header.
    DIRTime now = std::max<DIRTime>(DIRCurrentTime(), header_.base.modified + 1);
    if (long e = encodeMainRecord(header_, now, main_)) return e;
    if (ordinary(number())) main_.putU32(kMainReserved, kTicketed);
    if (long e = write(main_)) return e;
    read_[kCatMain] = Read{true, main_.bytes()};
    release();
    if (header_.base.created == 0) header_.base.created = now;
    if (header_.base.version == 0) header_.base.version = 1;
    header_.base.modified = now;
    exists_ = true;
    mainDirty_ = false;
    return DIR_OK;
}

} // namespace namedir
