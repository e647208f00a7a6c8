// Who a group's shared object was published to: the names in its
// access-rights list (53, n) as the desktop keeps it (docs/store-layouts.md):
// a u32 count, then per entry a u32 (the rights), a u32 length in UTF-16
// units and the name in UTF-16LE, packed; integers little-endian.
#include "handlers.h"
#include "names.h"
#include "qrd/bytes.h"

namespace nwd {

namespace {

constexpr AttrId kAccessRights(uint32_t number) {
    return AttrId{53, number};
}
constexpr size_t kEntryFixed = 8;
constexpr uint32_t kNameUnitsMax = 64; // the desktop's limit: 128 bytes
constexpr uint32_t kEntriesMax = 4096;

} // namespace

std::vector<std::string> accessRightsNames(const std::vector<uint8_t>& value) {
    std::vector<std::string> names;
    if (value.size() < 4) return names;
    const uint32_t count = qrd::getLe32(value.data());
    size_t at = 4;
    for (uint32_t i = 0; i < count && i < kEntriesMax; ++i) {
        if (value.size() - at < kEntryFixed) break;
        const uint32_t units = qrd::getLe32(value.data() + at + 4);
        at += kEntryFixed;
        if (units > kNameUnitsMax || value.size() - at < size_t(units) * 2) break;
        std::string latin1;
        bool fits = true;
        for (uint32_t u = 0; u < units; ++u) {
            const uint16_t c = qrd::getLe16(value.data() + at + 2 * u);
            fits = fits && c != 0 && c <= 0xFF;
            latin1.push_back(char(c));
        }
        at += size_t(units) * 2;
        if (fits) names.push_back(std::move(latin1)); // others name nobody here
    }
    return names;
}

bool Handler::isRecipient(int64_t userId, const Entry& group, uint32_t number) {
    std::optional<AttrSlice> rights =
        storage_.attributeSlice(group.id, kAccessRights(number), 0, kMaxAttrBytes);
    std::optional<Entry> user = storage_.entry(userId);
    if (!rights || !user) return false;
    for (const std::string& name : accessRightsNames(rights->bytes)) {
        std::vector<std::string> parts;
        if (!splitName(name, parts)) continue;
        static const uint16_t kinds[] = {kNameKindOrg, kNameKindGroup, kNameKindObject};
        Resolved r = dir_.locate(name, kinds[parts.size() - 1]);
        if (r.status == 0 && contains(r.entry, *user, true)) return true;
    }
    return false;
}

} // namespace nwd
