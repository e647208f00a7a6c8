// The attribute free list: hands out the attribute numbers of new objects on
// a holder (the user's range, or the group's for shared objects) and takes
// them back when objects are deleted. The list lives in the attributes
// themselves: a head at (34, 250003 user / 200003 group) and a free-slot
// marker at (52, n) for each free number n, chained through their numbers;
// the last link is in counter mode and holds the first never-used number.
//
// Each free number also carries a ticket at (54, n), an empty list while
// nobody takes it: taking a number is putting a claim on its ticket, which
// only one workstation can do, and the head moves only while that claim and
// the head as read are both in place, so two workstations never take the
// same number. A number whose main attribute holds an object is never
// handed out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "namedir/address.h"
#include "namedir/attrstream.h"
#include "namedir/export.h"
#include "namedir/layout.h"

namespace namedir {

class Ticket;
struct TicketValue;

// The numbers of ordinary objects on a user's or a group's object.
NAMEDIR_EXPORT layout::NumberRange holderRange(bool group);
// Tests narrow the ranges (to reach exhaustion quickly); nullptr restores
// the stored ones.
NAMEDIR_EXPORT void setHolderRangesForTesting(const layout::NumberRange* user,
                                              const layout::NumberRange* group);

class NAMEDIR_EXPORT FreeList {
  public:
    // The list of `holder`, a group's when `group` is set.
    FreeList(AttrStore& store, std::string holder, bool group);

    const layout::NumberRange& range() const { return range_; }
    uint32_t headNumber() const { return headNumber_; }

    // Takes a free number: 112 when the range is used up, 111 when the list
    // stays unusable after one rebuild, 105/106/41 for attribute failures.
    long allocate(uint32_t& number);
    // Gives `number` back (its main attribute must be gone): 113 when it is
    // free already, 111 when it is outside the range or still holds an object.
    long release(uint32_t number);
    // Rebuilds the chain from what the numbers' main attributes hold.
    long rebuild();

    // The head as stored: 0, 117 (none) or 111 (not a valid head).
    long readHead(layout::FreeSlotRecord& head);

  private:
    enum class Slot { Missing, Invalid, Valid };
    // The head's stored bytes, for the condition of the head's next write.
    struct HeadValue {
        bool present = false;
        std::vector<uint8_t> bytes;
    };
    long readHeadValue(HeadValue& value);
    // Both: the bytes and the head they hold (as readHead).
    long readHead(HeadValue& value, layout::FreeSlotRecord& head);
    AttrCondition headIs(const HeadValue& value) const;
    // kClaimLost when a condition no longer holds.
    long writeHeadIf(const layout::FreeSlotRecord& head, std::vector<AttrCondition> conditions);
    long readSlot(uint32_t category, uint32_t number, layout::FreeSlotRecord& r, Slot& state);
    long writeSlot(uint32_t category, uint32_t number, const layout::FreeSlotRecord& r);
    bool valid(const layout::FreeSlotRecord& r) const;
    long takeFrom(layout::FreeSlotRecord head, const HeadValue& stored, uint32_t& number,
                  TicketValue& busy);
    long moveHead(layout::FreeSlotRecord head, const HeadValue& stored, const Ticket& ticket);
    long writeTicket(uint32_t number);
    static constexpr long kClaimLost = -1; // another workstation took the number
    static constexpr long kHeadMoved = -2; // the head changed after it was read

    AttrStore& store_;
    std::string holder_;
    layout::NumberRange range_;
    uint32_t headNumber_;
};

// Allocates a number on `holder` (the group's range when `group`) and builds
// the new object's address (holder, 52, number, now), fully validated (109).
NAMEDIR_EXPORT long allocateObjectAddress(AttrStore& store, const std::string& holder, bool group,
                                          DIRTime now,
                                          std::unique_ptr<DIRNmDirectoryAddress>& address);

// Deletes the six attributes of the object `number` on `holder` (125 when a
// delete fails; missing ones are skipped) and frees its number, in the group
// range when the number lies there, else the user's. A number that is already
// free is 113, and nothing is deleted.
NAMEDIR_EXPORT long deleteObjectStorage(AttrStore& store, const std::string& holder,
                                        uint32_t number);

} // namespace namedir
