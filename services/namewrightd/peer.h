// Calls to other servers: the nonce checks of a session start for a nonce
// that another server issued (procedures 55 and 58 of the issuer, sent to
// its Namewright port on the native road through the client library).
#pragma once

#include <cstdint>
#include <vector>

#include "handlers.h"

namespace nwd {

class NativePeerClient : public PeerClient {
  public:
    // timeoutTicks: how long one call waits for its reply (ticks of 1/5 s).
    explicit NativePeerClient(uint32_t timeoutTicks = 10) : timeoutTicks_(timeoutTicks) {}
    uint16_t verifyNonce(const Entry& server, const ServerRecord& where, const Nonce& n,
                         uint32_t workstation, std::string& user) override;

  private:
    // One call: 0 with the results (after the 4-byte reply header), the
    // refusal code, or the transport status.
    uint16_t call(const PortRecord& dest, uint16_t procedure, const std::vector<uint8_t>& args,
                  std::vector<uint8_t>& results);
    uint32_t timeoutTicks_;
};

} // namespace nwd
