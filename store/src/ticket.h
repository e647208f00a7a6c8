// Update tickets: (54, n) of a free number or an ordinary object n holds the
// four zero bytes of an empty list while nobody writes it. A workstation
// that takes it puts its own claim there (the empty list's count, a mark and
// a random token) with a write the service makes only while the value is
// still the free one, so of several takers exactly one succeeds. Every write
// made under the claim is conditional on the claim still being there.
//
// A claim that stays unchanged while nothing else moves belongs to a writer
// that stopped; another takes it over the same way (its write replaces only
// that claim). The stopped writer's later writes then find their condition
// broken and are refused by the service: a writer that was only slow loses
// its claim and starts again, it never writes over the new claimant.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "namedir/attrstream.h"

namespace namedir {

// What a ticket held when read.
struct TicketValue {
    bool present = false;
    std::vector<uint8_t> bytes;
    bool operator==(const TicketValue&) const = default;
};

class Ticket {
  public:
    Ticket(AttrStore& store, std::string holder, uint32_t number);

    // Puts a new claim in place of the free value: DIR_OK, kTicketBusy (the
    // ticket was not free: seen() tells what it held) or a store error.
    long take();
    // Puts a new claim in place of `stale` (another's claim, or no ticket
    // at all): DIR_OK, kTicketBusy or a store error.
    long takeOver(const TicketValue& stale);
    // Gives the ticket back to the free value, if it still holds this claim.
    void release();

    bool held() const { return held_; }
    // The condition that this claim is still in place.
    AttrCondition claimed() const;
    const TicketValue& seen() const { return seen_; }

    static constexpr long kTicketBusy = -3;
    static std::vector<uint8_t> freeValue();

  private:
    long put(const std::vector<AttrCondition>& conditions);

    AttrStore& store_;
    std::string holder_;
    uint32_t number_;
    std::vector<uint8_t> claim_; // this claim's value
    bool held_ = false;
    TicketValue seen_;
};

// Tells a writer that stopped from a slow one: true once what the waiter
// watches (the ticket and whatever the claimant would change) has stood
// still for `patience`.
class StillWatch {
  public:
    explicit StillWatch(std::chrono::milliseconds patience) : patience_(patience) {}
    bool still(const std::vector<uint8_t>& watched);

  private:
    std::chrono::milliseconds patience_;
    std::vector<uint8_t> last_;
    std::chrono::steady_clock::time_point since_{};
    bool started_ = false;
};

// How long a claim must stand still before it is taken over.
constexpr std::chrono::milliseconds kStaleClaim{3000};

// A short pause between two looks at a busy ticket (1 to 8 ms, growing
// with `round`, spread between threads).
void ticketPause(int round);

} // namespace namedir
