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

namespace namedir {

using namespace layout;

namespace {

std::mutex g_rangeLock;
std::optional<NumberRange> g_userRange;  // guarded by g_rangeLock
std::optional<NumberRange> g_groupRange; // guarded by g_rangeLock

// A run of this many missing main attributes ends the used part of a range.
constexpr int kMissingRunEnd = 6;

// Claims lost to another workstation before the head moves on are retried;
// this many attempts in all, with short growing pauses between them.
constexpr int kClaimAttempts = 200;
// How long a head may stand still on a number without a ticket before the
// ticket is taken to be missing (a list written before tickets, or a
// claimant that stopped between its claim and its head).
constexpr int kStillHeadChecks = 12;

void pause(int attempt) {
    // 1..8 ms, growing, with jitter so that racing claimants fall apart.
    int ms = 1 + (attempt % 8) + int(std::hash<std::thread::id>{}(std::this_thread::get_id()) % 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

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

long FreeList::allocate(uint32_t& number) {
    bool rebuilt = false;
    FreeSlotRecord last{};
    int still = 0;
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        FreeSlotRecord head{};
        long e = readHead(head);
        if (e == DIR_ATTR_MISSING && rebuilt) {
            head = slotRecord(range_.lower, false, true);
        } else if (e == DIR_ATTR_MISSING || e == DIR_FREELIST_INVALID) {
            if (rebuilt) return e;
            rebuilt = true;
            if (long r = rebuild()) return r;
            continue;
        } else if (e) {
            return e;
        }
        if (head.exhausted || (head.counterMode && head.number > range_.upper))
            return DIR_FREELIST_EMPTY;
        e = takeFrom(head, number);
        if (e == kClaimLost) {
            // Another workstation took the number: wait for its head. A head
            // that stands still has no ticket to claim: give it one.
            bool same = std::memcmp(&head, &last, sizeof head) == 0;
            still = same ? still + 1 : 0;
            last = head;
            if (still >= kStillHeadChecks) {
                if (long w = writeTicket(head.number)) return w;
                still = 0;
            }
            pause(attempt);
            continue;
        }
        if (e != DIR_FREELIST_INVALID) return e;
        if (rebuilt) return e;
        rebuilt = true;
        if (long r = rebuild()) return r;
    }
    return DIR_FREELIST_INVALID;
}

// Takes the head's number. The claim is the deletion of the number's ticket
// (category 54, which ordinary objects never use): the service deletes an
// attribute once, so of the workstations that read the same head only one
// succeeds; the others see the ticket gone and read the head again. Only the
// claimant writes the head, after the ticket of the next number is in place.
// In counter mode the number must not hold an object; in chain mode it must
// hold the marker that names the next free number.
long FreeList::takeFrom(FreeSlotRecord head, uint32_t& number) {
    uint32_t taken = head.number;
    FreeSlotRecord marker{};
    Slot state;
    if (long e = readSlot(kCatMain, taken, marker, state)) return e;
    bool usable = head.counterMode ? state != Slot::Invalid : state == Slot::Valid;
    if (!usable) return DIR_FREELIST_INVALID;
    long claim = AttrStream(holder_, kCatActionList, taken).remove(store_, DIR_ATTR_WRITE);
    if (claim == DIR_ATTR_MISSING) return kClaimLost;
    if (claim) return claim;
    if (head.counterMode) {
        head.number = taken + 1;
        head.exhausted = head.number > range_.upper ? 1 : 0;
        if (!head.exhausted)
            if (long e = writeTicket(head.number)) return e;
    } else {
        // The marker as it is now: only the claimant reads it after the claim.
        if (long e = readSlot(kCatMain, taken, marker, state)) return e;
        if (state != Slot::Valid) return DIR_FREELIST_INVALID;
        head = marker;
        long e = AttrStream(holder_, kCatMain, taken).remove(store_, DIR_ATTR_WRITE);
        if (e && e != DIR_ATTR_MISSING) return e;
    }
    if (long e = writeSlot(kCatFixed, headNumber_, head)) return e;
    number = taken;
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
    FreeSlotRecord head{};
    long e = readHead(head);
    // The rebuild finds the number's main attribute missing and so takes it
    // in: nothing is left to do.
    if (e == DIR_ATTR_MISSING || e == DIR_FREELIST_INVALID) return rebuild();
    if (e) return e;
    if (head.counterMode && number >= head.number) return DIR_ALREADY_FREE; // never used
    // The ticket goes in before the head names the number.
    if (long w = writeTicket(number)) return w;
    if (head.counterMode && number + 1 == head.number) {
        head.number = number;
        head.exhausted = 0;
        return writeSlot(kCatFixed, headNumber_, head);
    }
    if (long w = writeSlot(kCatMain, number, head)) return w;
    return writeSlot(kCatFixed, headNumber_, slotRecord(number, false, false));
}

long FreeList::rebuild() {
    // A head that another workstation writes while this one scans wins: the
    // scan would hand out again what that workstation has just taken.
    FreeSlotRecord before{}, after{};
    long headBefore = readHead(before);
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
    return writeSlot(kCatFixed, headNumber_, next);
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
