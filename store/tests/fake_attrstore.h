// An attribute store in memory, for tests of what the store writes and reads
// without a directory service.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "namedir/attrstream.h"

class FakeAttrStore : public namedir::AttrStore {
  public:
    using Key = std::tuple<std::string, uint32_t, uint32_t>;

    QRDSTATUS read(const std::string& holder, uint32_t category, uint32_t number,
                   std::vector<uint8_t>& bytes) override {
        ++reads;
        auto it = attrs.find({holder, category, number});
        if (it == attrs.end()) return QRDERR_NM_NO_ATTR;
        bytes = it->second;
        return 0;
    }
    QRDSTATUS write(const std::string& holder, uint32_t category, uint32_t number,
                    const std::vector<uint8_t>& bytes) override {
        ++writes;
        attrs[{holder, category, number}] = bytes;
        return 0;
    }
    QRDSTATUS remove(const std::string& holder, uint32_t category, uint32_t number) override {
        return attrs.erase({holder, category, number}) ? 0 : QRDERR_NM_NO_ATTR;
    }

    QRDSTATUS writeIf(const std::string& holder, uint32_t category, uint32_t number,
                      const std::vector<uint8_t>& bytes,
                      const std::vector<namedir::AttrCondition>& conditions) override {
        for (const namedir::AttrCondition& c : conditions) {
            auto it = attrs.find({holder, c.category, c.number});
            if (c.absent ? it != attrs.end() : it == attrs.end() || it->second != c.bytes)
                return QRDERR_NM_CONDITION_FAILED;
        }
        return write(holder, category, number, bytes);
    }

    bool has(const std::string& holder, uint32_t category, uint32_t number) const {
        return attrs.count({holder, category, number}) != 0;
    }

    std::map<Key, std::vector<uint8_t>> attrs;
    int reads = 0;
    int writes = 0;
};
