#include "namedir/freelist.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "namedir/codecs.h"
#include "namedir/errors.h"
#include "namedir/records.h"
#include "ticket.h"

namespace namedir {

using namespace layout;

namespace {

std::mutex g_rangeLock;
std::optional<NumberRange> g_userRange;  // guarded by g_rangeLock
std::optional<NumberRange> g_groupRange; // guarded by g_rangeLock

// A run of this many missing main attributes ends the used part of a range.
constexpr int kMissingRunEnd = 6;

// How long an allocation goes on while other workstations take the numbers
// it reads (longer than a stale claim takes to be taken over).
constexpr std::chrono::seconds kAllocateFor{30};
// Releases that find the head moved under them read it again this often.
constexpr int kReleaseAttempts = 200;

FreeSlotRecord slotRecord(uint32_t number, bool exhausted, bool counterMode) {
    return FreeSlotRecord{uint32_t(DIR_TYPE_FREE), kCatMain, number, exhausted ? 1u : 0u,
                          counterMode ? 1u : 0u};
}

} // namespace

NumberRange holderRange(bool group) {
    std::lock_guard<std::mutex> lock(g_rangeLock);
    if (group) return g_groupRange.value_or(kGroupRange);
    return g_userRange.value_or(kUserRange);
}

void setHolderRangesForTesting(const NumberRange* user, const NumberRange* group) {
    std::lock_guard<std::mutex> lock(g_rangeLock);
    g_userRange = user ? std::optional<NumberRange>(*user) : std::nullopt;
    g_groupRange = group ? std::optional<NumberRange>(*group) : std::nullopt;
}

FreeList::FreeList(AttrStore& store, std::string holder, bool group)
    : store_(store), holder_(std::move(holder)), range_(holderRange(group)),
      headNumber_(group ? kGroupFreeListHead : kUserFreeListHead) {}

// A counter may stand one past the range: that is what an exhausted counter
// holds.
bool FreeList::valid(const FreeSlotRecord& r) const {
    if (r.counterMode) return r.number >= range_.lower && r.number <= range_.upper + 1;
    return range_.contains(r.number);
}

long FreeList::readSlot(uint32_t category, uint32_t number, FreeSlotRecord& r, Slot& state) {
    AttrStream s(holder_, category, number);
    long e = s.read(store_);
    if (e == DIR_ATTR_MISSING) {
        state = Slot::Missing;
        return DIR_OK;
    }
    if (e) return e;
    state = decodeFreeSlot(s, r) && valid(r) ? Slot::Valid : Slot::Invalid;
    return DIR_OK;
}

long FreeList::writeSlot(uint32_t category, uint32_t number, const FreeSlotRecord& r) {
    AttrStream s(holder_, category, number);
    encodeFreeSlot(r, s);
    return s.write(store_);
}

long FreeList::readHead(FreeSlotRecord& head) {
    Slot state;
    if (long e = readSlot(kCatFixed, headNumber_, head, state)) return e;
    if (state == Slot::Missing) return DIR_ATTR_MISSING;
    return state == Slot::Valid ? long(DIR_OK) : long(DIR_FREELIST_INVALID);
}

long FreeList::readHeadValue(HeadValue& value) {
    std::vector<uint8_t> bytes;
    QRDSTATUS st = store_.read(holder_, kCatFixed, headNumber_, bytes);
    if (st != 0 && st != QRDERR_NM_NO_ATTR) return DIR_ATTR_READ;
    value = HeadValue{st == 0, st == 0 ? bytes : std::vector<uint8_t>()};
    return DIR_OK;
}

long FreeList::readHead(HeadValue& value, FreeSlotRecord& head) {
    if (long e = readHeadValue(value)) return e;
    if (!value.present) return DIR_ATTR_MISSING;
    AttrStream s(holder_, kCatFixed, headNumber_);
    s.load(value.bytes);
    return decodeFreeSlot(s, head) && valid(head) ? long(DIR_OK) : long(DIR_FREELIST_INVALID);
}

AttrCondition FreeList::headIs(const HeadValue& value) const {
    return AttrCondition{kCatFixed, headNumber_, !value.present, value.bytes};
}

long FreeList::writeHeadIf(const FreeSlotRecord& head, std::vector<AttrCondition> conditions) {
    AttrStream s(holder_, kCatFixed, headNumber_);
    encodeFreeSlot(head, s);
    QRDSTATUS st = store_.writeIf(holder_, kCatFixed, headNumber_, s.bytes(), conditions);
    if (st == QRDERR_NM_CONDITION_FAILED) return kClaimLost;
    return st == 0 ? long(DIR_OK) : long(DIR_ATTR_WRITE);
}

long FreeList::allocate(uint32_t& number) {
    bool rebuilt = false;
    // A claim that stays on the head's number while the head stands still
    // belongs to a workstation that stopped: it is taken over.
    StillWatch watch(kStaleClaim);
    auto deadline = std::chrono::steady_clock::now() + kAllocateFor;
    for (int attempt = 0; std::chrono::steady_clock::now() < deadline; ++attempt) {
        HeadValue stored;
        FreeSlotRecord head{};
        long e = readHead(stored, head);
        if (e == DIR_ATTR_MISSING && rebuilt) {
            head = slotRecord(range_.lower, false, true);
        } else if (e) {
            if (rebuilt) return e;
            rebuilt = true;
            if (long r = rebuild()) return r;
            continue;
        }
        if (head.exhausted || (head.counterMode && head.number > range_.upper))
            return DIR_FREELIST_EMPTY;
        TicketValue busy;
        e = takeFrom(head, stored, number, busy);
        if (e == kHeadMoved) continue;
        if (e == kClaimLost) {
            std::vector<uint8_t> watched = stored.bytes;
            watched.push_back(busy.present);
            watched.insert(watched.end(), busy.bytes.begin(), busy.bytes.end());
            // No ticket at all (a list written before tickets: the head never
            // names a number before its ticket is in place) or a claim that
            // went stale: this workstation takes it over.
            if (!busy.present || watch.still(watched)) {
                Ticket ticket(store_, holder_, head.number);
                long t = ticket.takeOver(busy);
                if (t && t != Ticket::kTicketBusy) return t;
                if (!t) ticket.release();
            }
            ticketPause(attempt);
            continue;
        }
        if (e != DIR_FREELIST_INVALID) return e;
        // The number was taken and used after this head was read: read again.
        HeadValue now;
        if (long r = readHeadValue(now)) return r;
        if (now.present != stored.present || now.bytes != stored.bytes) continue;
        if (rebuilt) return e;
        rebuilt = true;
        if (long r = rebuild()) return r;
    }
    return DIR_FREELIST_INVALID;
}

// Takes the head's number. The claim is the number's ticket (ticket.h): of
// the workstations that read the same head only one takes it; the others
// see it busy (`busy` tells with what) and read the head again. The head is
// written only while the claim and the head as read (`stored`) are both
// still in place, so neither a workstation whose claim was taken over nor
// one that read an older head can move it. In counter mode the number must
// not hold an object; in chain mode it must hold the marker that names the
// next free number. Once the head has moved past it, nobody reaches the
// number through the list: its ticket goes back at once.
long FreeList::takeFrom(FreeSlotRecord head, const HeadValue& stored, uint32_t& number,
                        TicketValue& busy) {
    uint32_t taken = head.number;
    FreeSlotRecord marker{};
    Slot state;
    if (long e = readSlot(kCatMain, taken, marker, state)) return e;
    bool usable = head.counterMode ? state != Slot::Invalid : state == Slot::Valid;
    if (!usable) return DIR_FREELIST_INVALID;
    Ticket ticket(store_, holder_, taken);
    long claim = ticket.take();
    if (claim == Ticket::kTicketBusy) {
        busy = ticket.seen();
        return kClaimLost;
    }
    if (claim) return claim;
    long e = moveHead(head, stored, ticket);
    ticket.release();
    if (e == kClaimLost) return kHeadMoved; // or the claim was taken over: read again
    if (e) return e;
    number = taken;
    return DIR_OK;
}

long FreeList::moveHead(FreeSlotRecord head, const HeadValue& stored, const Ticket& ticket) {
    const uint32_t taken = head.number;
    const bool chain = !head.counterMode;
    if (!chain) {
        head.number = taken + 1;
        head.exhausted = head.number > range_.upper ? 1 : 0;
        if (!head.exhausted) {
            QRDSTATUS st = store_.writeIf(holder_, kCatActionList, head.number, Ticket::freeValue(),
                                          {ticket.claimed()});
            if (st == QRDERR_NM_CONDITION_FAILED) return kClaimLost;
            if (st) return DIR_ATTR_WRITE;
        }
    } else {
        // The marker as it is now: only the claimant reads it after the claim.
        FreeSlotRecord marker{};
        Slot state;
        if (long e = readSlot(kCatMain, taken, marker, state)) return e;
        if (state != Slot::Valid) return DIR_FREELIST_INVALID;
        head = marker;
    }
    if (long e = writeHeadIf(head, {ticket.claimed(), headIs(stored)})) return e;
    if (chain) {
        long e = AttrStream(holder_, kCatMain, taken).remove(store_, DIR_ATTR_WRITE);
        if (e && e != DIR_ATTR_MISSING) return e;
    }
    return DIR_OK;
}

long FreeList::writeTicket(uint32_t number) {
    AttrStream s(holder_, kCatActionList, number);
    s.putU32(kListCount, 0);
    return s.write(store_);
}

long FreeList::release(uint32_t number) {
    if (!range_.contains(number)) return DIR_FREELIST_INVALID;
    FreeSlotRecord slot{};
    Slot state;
    if (long e = readSlot(kCatMain, number, slot, state)) return e;
    if (state == Slot::Valid) {
        // Already free. The rebuild puts a stray marker back on the chain.
        rebuild();
        return DIR_ALREADY_FREE;
    }
    if (state == Slot::Invalid) return DIR_FREELIST_INVALID; // still holds an object
    // The ticket goes in before the head names the number.
    if (long w = writeTicket(number)) return w;
    // The head moves only from the head as read: a taker or another release
    // in between makes this one read it again.
    for (int attempt = 0; attempt < kReleaseAttempts; ++attempt) {
        HeadValue stored;
        FreeSlotRecord head{};
        long e = readHead(stored, head);
        // The rebuild finds the number's main attribute missing and so takes
        // it in: nothing is left to do.
        if (e == DIR_ATTR_MISSING || e == DIR_FREELIST_INVALID) return rebuild();
        if (e) return e;
        if (head.counterMode && number >= head.number) return DIR_ALREADY_FREE; // never used
        FreeSlotRecord next = slotRecord(number, false, false);
        if (head.counterMode && number + 1 == head.number) {
            next = head;
            next.number = number;
            next.exhausted = 0;
        } else if (long w = writeSlot(kCatMain, number, head)) {
            return w;
        }
        e = writeHeadIf(next, {headIs(stored)});
        if (e != kClaimLost) return e;
        ticketPause(attempt);
    }
    return DIR_ATTR_WRITE;
}

long FreeList::rebuild() {
    // A head that another workstation writes while this one scans wins: the
    // scan would hand out again what that workstation has just taken.
    FreeSlotRecord before{}, after{};
    HeadValue stored;
    long headBefore = readHead(stored, before);
    if (headBefore != DIR_OK && headBefore != DIR_ATTR_MISSING &&
        headBefore != DIR_FREELIST_INVALID)
        return headBefore;
    std::vector<uint32_t> free;
    uint64_t scanEnd = uint64_t(range_.upper) + 1; // the first never-used number
    int missingRun = 0;
    for (uint64_t n = range_.lower; n < scanEnd; ++n) {
        FreeSlotRecord r{};
        Slot state;
        if (long e = readSlot(kCatMain, uint32_t(n), r, state)) return e;
        if (state == Slot::Valid) {
            missingRun = 0;
            free.push_back(uint32_t(n));
            // A counter below its own marker is not believed: it would cut
            // the scan short of objects above it.
            if (r.counterMode && r.number > n) scanEnd = std::min<uint64_t>(scanEnd, r.number);
        } else if (state == Slot::Missing) {
            if (++missingRun == kMissingRunEnd) {
                scanEnd = n - (kMissingRunEnd - 1);
                break;
            }
            free.push_back(uint32_t(n));
        } else {
            missingRun = 0;
        }
    }
    // Free numbers at the top of the used part go back to the counter.
    while (!free.empty() && free.back() >= scanEnd)
        free.pop_back();
    while (!free.empty() && free.back() + 1 == scanEnd) {
        --scanEnd;
        long e = AttrStream(holder_, kCatMain, uint32_t(scanEnd)).remove(store_, DIR_ATTR_WRITE);
        if (e && e != DIR_ATTR_MISSING) return e;
        free.pop_back();
    }
    long headAfter = readHead(after);
    if (headAfter != headBefore ||
        (headAfter == DIR_OK && std::memcmp(&before, &after, sizeof before) != 0))
        return DIR_OK;
    FreeSlotRecord next = slotRecord(uint32_t(scanEnd), scanEnd > range_.upper, true);
    if (scanEnd <= range_.upper)
        if (long e = writeTicket(uint32_t(scanEnd))) return e;
    for (auto it = free.rbegin(); it != free.rend(); ++it) {
        if (long e = writeSlot(kCatMain, *it, next)) return e;
        if (long e = writeTicket(*it)) return e;
        next = slotRecord(*it, false, false);
    }
    long e = writeHeadIf(next, {headIs(stored)});
    return e == kClaimLost ? long(DIR_OK) : e; // another's head wins, as above
}

long allocateObjectAddress(AttrStore& store, const std::string& holder, bool group, DIRTime now,
                           std::unique_ptr<DIRNmDirectoryAddress>& address) {
    uint32_t number = 0;
    if (long e = FreeList(store, holder, group).allocate(number)) return e;
    auto a = std::make_unique<DIRNmDirectoryAddress>(holder, long(kCatMain), long(number), now);
    long error = DIR_OK;
    if (!a->validateNMDirAddress(error, false)) return error;
    address = std::move(a);
    return DIR_OK;
}

long deleteObjectStorage(AttrStore& store, const std::string& holder, uint32_t number) {
    bool group = holderRange(true).contains(number);
    bool managed = group || holderRange(false).contains(number);
    FreeSlotRecord marker{};
    AttrStream main(holder, kCatMain, number);
    // Checked before anything is deleted: deleting a marker would hide the
    // double free from the release below.
    if (main.read(store) == DIR_OK && decodeFreeSlot(main, marker)) return DIR_ALREADY_FREE;
    for (uint32_t category = kCatMain; category <= kCatContents; ++category) {
        long e = AttrStream(holder, category, number).remove(store, DIR_ATTR_DELETE);
        if (e && e != DIR_ATTR_MISSING) return e;
    }
    if (!managed) return DIR_OK; // fixed numbers are not on any free list
    return FreeList(store, holder, group).release(number);
}

} // namespace namedir
