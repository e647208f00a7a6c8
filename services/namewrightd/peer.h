// Calls to other servers: the nonce checks of a session start for a nonce
// that another server issued (procedures 55 and 58 of the issuer, sent to
// its Namewright port on the native road through the client library's call
// routine, which takes only the issuer's answer to that very call).
//
// The questions run on threads of their own, so a road's thread never waits
// on another server for long: it waits a few milliseconds for the answer and
// otherwise answers nothing for now (kStillAsking); the client sends its call
// again and that copy finds the answer.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "handlers.h"

namespace nwd {

struct PeerTiming {
    int32_t callTicks = 5;  // each of 55 and 58 (ticks of 1/5 s), sends again within
    int waitMs = 20;        // how long a road's thread waits for an answer
    size_t maxAsking = 16;  // questions under way; beyond: 155 at once
    size_t maxKept = 256;   // answers nobody collected yet
    int64_t keepMs = 30000; // how long such an answer waits for its client
    size_t workers = 4;     // threads asking
};

class NativePeerClient : public PeerClient {
  public:
    explicit NativePeerClient(PeerTiming timing = {}) : timing_(timing) {}
    ~NativePeerClient() override;
    uint16_t verifyNonce(const Entry& server, const ServerRecord& where, const Nonce& n,
                         uint32_t workstation, std::string& user) override;

  private:
    // Issuer address, nonce, the workstation that presented it.
    using Key = std::array<uint8_t, 4 + kNonceBytes + 4>;
    struct Question {
        Key key;
        uint32_t address;
        Nonce nonce;
        uint32_t workstation;
        bool done = false;
        uint16_t status = 0;
        std::string user;
        int64_t doneAt = 0;
    };
    using List = std::list<Question>;

    // Asks the issuer (on a worker thread): 0 with the owner, 1025, or the
    // transport status.
    uint16_t ask(uint32_t address, const Nonce& n, uint32_t workstation, std::string& user) const;
    // One call: 0 with the results (after the 4-byte reply header), the
    // refusal code, or the transport status.
    uint16_t call(const PortRecord& dest, uint16_t procedure, const std::vector<uint8_t>& args,
                  std::vector<uint8_t>& results) const;
    void work();
    // With lock_ held.
    uint16_t take(List::iterator it, std::string& user);
    void forgetOld(int64_t now);

    PeerTiming timing_;
    std::mutex lock_;
    std::condition_variable changed_;
    List questions_;                      // guarded by lock_; oldest first
    std::map<Key, List::iterator> index_; // guarded by lock_
    std::deque<List::iterator> queue_;    // guarded by lock_: not yet asked
    size_t asking_ = 0;                   // guarded by lock_: queued or being asked
    std::vector<std::thread> workers_;    // guarded by lock_
    bool stop_ = false;                   // guarded by lock_
};

} // namespace nwd
