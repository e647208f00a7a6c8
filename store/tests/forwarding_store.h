// An attribute store that passes every call to the session's own store:
// tests derive from it to count or to step in at one call.
#pragma once

#include "namedir.h"

class ForwardingStore : public namedir::AttrStore {
  public:
    QRDSTATUS read(const std::string& h, uint32_t c, uint32_t n, std::vector<uint8_t>& b) override {
        return namedir::clientAttrStore().read(h, c, n, b);
    }
    QRDSTATUS write(const std::string& h, uint32_t c, uint32_t n,
                    const std::vector<uint8_t>& b) override {
        return namedir::clientAttrStore().write(h, c, n, b);
    }
    QRDSTATUS remove(const std::string& h, uint32_t c, uint32_t n) override {
        return namedir::clientAttrStore().remove(h, c, n);
    }
    QRDSTATUS writeIf(const std::string& h, uint32_t c, uint32_t n, const std::vector<uint8_t>& b,
                      const std::vector<namedir::AttrCondition>& conditions) override {
        return namedir::clientAttrStore().writeIf(h, c, n, b, conditions);
    }
};
