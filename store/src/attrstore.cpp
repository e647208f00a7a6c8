#include "namedir/attrstream.h"
#include "namedir/qrdapi_wrapper.h"

namespace namedir {

namespace {

// Every attribute of the store passes through CQrdApi, which keeps the
// calling thread's session and retries transient failures.
class ClientAttrStore final : public AttrStore {
  public:
    QRDSTATUS read(const std::string& holder, uint32_t category, uint32_t number,
                   std::vector<uint8_t>& bytes) override {
        return CQrdApi::readAttribute(holder, category, number, bytes);
    }
    QRDSTATUS write(const std::string& holder, uint32_t category, uint32_t number,
                    const std::vector<uint8_t>& bytes) override {
        return CQrdApi::writeAttribute(holder, category, number, bytes);
    }
    QRDSTATUS remove(const std::string& holder, uint32_t category, uint32_t number) override {
        return CQrdApi::deleteAttribute(holder, category, number);
    }
    QRDSTATUS writeIf(const std::string& holder, uint32_t category, uint32_t number,
                      const std::vector<uint8_t>& bytes,
                      const std::vector<AttrCondition>& conditions) override {
        std::vector<QRD_ATTR_CONDITION> wire;
        for (const AttrCondition& c : conditions)
            wire.push_back({{c.category, c.number},
                            c.absent ? QRD_ATTR_ABSENT : uint32_t(c.bytes.size()),
                            c.bytes.data()});
        return CQrdApi::writeAttributeIf(holder, category, number, bytes, wire);
    }
};

} // namespace

AttrStore& clientAttrStore() {
    static ClientAttrStore store;
    return store;
}

} // namespace namedir
