#include "avdwriter.h"

#include <cstring>

#include "avdformat.h"

namespace avd {

namespace {

// Lays out the texts once and hands out their offsets.
class TextArea {
  public:
    explicit TextArea(uint32_t start) : start_(start) {}
    uint32_t add(const std::string& text) {
        uint32_t at = start_ + uint32_t(bytes_.size());
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        return at;
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    uint32_t start_;
    std::vector<uint8_t> bytes_;
};

uint32_t listBytes(const std::vector<NamedValue>& items) {
    return kEntryListItemsAt + uint32_t(items.size()) * kEntryListItemSize;
}

} // namespace

std::vector<uint8_t> writeDefinition(const Definition& def, const ByteOrder& order) {
    const uint32_t table = kHeaderSize;
    const uint32_t listStart = table + uint32_t(def.entries.size()) * kEntrySize;
    uint32_t at = listStart;
    std::vector<uint32_t> entryLists;
    for (const EntryDefinition& e : def.entries) {
        entryLists.push_back(at);
        at += listBytes(e.values);
    }
    const uint32_t general = at;
    at += listBytes(def.general);
    const uint32_t tables = at;
    std::vector<uint32_t> tableAt;
    for (const TableDefinition& t : def.tables) {
        tableAt.push_back(at);
        at += kTableItemsAt + uint32_t(t.items.size()) * kTableItemSize;
    }
    const uint32_t listEnd = at;
    TextArea texts(listEnd);

    std::vector<uint8_t> out(listEnd, 0);
    auto put = [&](uint32_t offset, uint32_t value) { order.write(value, &out[offset]); };
    put(kMarkAt, kOrderMark);
    put(kVersionAt, kFormatVersion);
    put(kEntryCountAt, uint32_t(def.entries.size()));
    put(kEntryTableAt, table);
    put(kTextAreaAt, listEnd);
    put(kGeneralListAt, general);
    put(kTableCountAt, uint32_t(def.tables.size()));
    put(kListAreaStartAt, listStart);
    put(kTablesAt, tables);
    put(kListAreaEndAt, listEnd);
    put(kUpdatedAt, def.updated);
    std::memcpy(&out[kUpdaterAt], def.updater.data(),
                std::min<size_t>(def.updater.size(), kUpdaterLen - 1));

    auto putList = [&](uint32_t offset, const std::vector<NamedValue>& items) {
        put(offset, uint32_t(items.size()));
        for (size_t i = 0; i < items.size(); ++i) {
            uint32_t item = offset + kEntryListItemsAt + uint32_t(i) * kEntryListItemSize;
            put(item, items[i].value);
            put(item + 4, texts.add(items[i].name));
        }
    };
    for (size_t i = 0; i < def.entries.size(); ++i) {
        const EntryDefinition& e = def.entries[i];
        uint32_t entry = table + uint32_t(i) * kEntrySize;
        put(entry + kEntryNumberAt, uint32_t(i + 1));
        put(entry + kEntryGroupAt, e.groupKey);
        put(entry + kEntryItemAt, e.itemKey);
        put(entry + kEntryIdentifierAt, e.identifier);
        put(entry + kEntryListAt, entryLists[i]);
        put(entry + kEntryNameAt, texts.add(e.name));
        putList(entryLists[i], e.values);
    }
    putList(general, def.general);
    for (size_t t = 0; t < def.tables.size(); ++t) {
        put(tableAt[t], def.tables[t].word);
        put(tableAt[t] + kTableCountWordAt, uint32_t(def.tables[t].items.size()));
        for (size_t i = 0; i < def.tables[t].items.size(); ++i) {
            const NamedValue& v = def.tables[t].items[i];
            uint32_t item = tableAt[t] + kTableItemsAt + uint32_t(i) * kTableItemSize;
            put(item, v.value);
            put(item + 4, v.second);
            put(item + 8, texts.add(v.name));
        }
    }
    out.insert(out.end(), texts.bytes().begin(), texts.bytes().end());
    return out;
}

} // namespace avd
