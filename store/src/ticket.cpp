#include "ticket.h"

#include <functional>
#include <random>
#include <thread>

#include "namedir/errors.h"
#include "namedir/layout.h"
#include "qrd/bytes.h"

namespace namedir {

namespace {

constexpr uint32_t kClaimMark = 0x434C4D31; // "CLM1"
constexpr size_t kClaimBytes = 16;

// A token no other claim has: random, per thread.
uint64_t newToken() {
    thread_local std::mt19937_64 random([] {
        std::random_device device;
        uint64_t seed = (uint64_t(device()) << 32) ^ device();
        seed ^= std::hash<std::thread::id>{}(std::this_thread::get_id());
        seed ^= uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        return seed;
    }());
    return random();
}

} // namespace

std::vector<uint8_t> Ticket::freeValue() {
    return std::vector<uint8_t>(4, 0);
}

Ticket::Ticket(AttrStore& store, std::string holder, uint32_t number)
    : store_(store), holder_(std::move(holder)), number_(number), claim_(kClaimBytes, 0) {
    // The empty list's count stays 0: readers of (54, n) see an empty list.
    qrd::putLe32(claim_.data() + 4, kClaimMark);
    uint64_t token = newToken();
    qrd::putLe32(claim_.data() + 8, uint32_t(token));
    qrd::putLe32(claim_.data() + 12, uint32_t(token >> 32));
}

AttrCondition Ticket::claimed() const {
    return AttrCondition{layout::kCatActionList, number_, false, claim_};
}

long Ticket::put(const std::vector<AttrCondition>& conditions) {
    QRDSTATUS st = store_.writeIf(holder_, layout::kCatActionList, number_, claim_, conditions);
    if (st != 0 && st != QRDERR_NM_CONDITION_FAILED) return DIR_ATTR_WRITE;
    // A retry after a lost reply finds its own claim in place: read what is
    // there either way when the write was refused.
    if (st == QRDERR_NM_CONDITION_FAILED) {
        std::vector<uint8_t> bytes;
        QRDSTATUS r = store_.read(holder_, layout::kCatActionList, number_, bytes);
        if (r != 0 && r != QRDERR_NM_NO_ATTR) return DIR_ATTR_READ;
        seen_ = TicketValue{r == 0, r == 0 ? bytes : std::vector<uint8_t>()};
        if (!seen_.present || seen_.bytes != claim_) return kTicketBusy;
    }
    held_ = true;
    return DIR_OK;
}

long Ticket::take() {
    return put({AttrCondition{layout::kCatActionList, number_, false, freeValue()}});
}

long Ticket::takeOver(const TicketValue& stale) {
    return put({AttrCondition{layout::kCatActionList, number_, !stale.present, stale.bytes}});
}

void Ticket::release() {
    if (!held_) return;
    held_ = false;
    // Refused when the claim was taken over: the ticket is the new claimant's.
    store_.writeIf(holder_, layout::kCatActionList, number_, freeValue(), {claimed()});
}

bool StillWatch::still(const std::vector<uint8_t>& watched) {
    auto now = std::chrono::steady_clock::now();
    if (!started_ || watched != last_) {
        started_ = true;
        last_ = watched;
        since_ = now;
        return false;
    }
    return now - since_ >= patience_;
}

void ticketPause(int round) {
    int ms = 1 + (round % 8) + int(std::hash<std::thread::id>{}(std::this_thread::get_id()) % 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace namedir
