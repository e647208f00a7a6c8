#include "avdreader.h"

#include <algorithm>

#include "qrd/latin1.h"

namespace avd {

namespace {

constexpr size_t kWordCacheMin = 100;
constexpr size_t kTextCacheMin = 201;
constexpr size_t kDefaultCache = 1024;

unsigned char fold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return uint8_t(c + 32); // Latin-1 capitals
    return c;
}

unsigned percentOf(uint32_t index, uint32_t total) {
    if (total < 2) return 0;
    return unsigned(uint64_t(index) * 100 / (total - 1));
}

uint32_t indexAtPercent(unsigned percent, uint32_t total) {
    if (total == 0) return 0;
    return uint32_t(uint64_t(std::min(percent, 100u)) * (total - 1) / 100);
}

} // namespace

int compareNames(const std::string& a, const std::string& b) {
    std::string x = qrd::utf8ToLatin1Lossy(a), y = qrd::utf8ToLatin1Lossy(b);
    for (size_t i = 0; i < kNameCompareLen; ++i) {
        unsigned char cx = i < x.size() ? fold(uint8_t(x[i])) : 0;
        unsigned char cy = i < y.size() ? fold(uint8_t(y[i])) : 0;
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
    return 0;
}

Reader::Reader() = default;
Reader::~Reader() = default;

uint16_t Reader::open(const TextSession& session, const std::string& path, size_t cacheSize) {
    if (isOpen()) return kAlreadyOpen;
    if (!session.started) return kNoSession;
    if (path.empty()) return kMissingArg;
    std::unique_ptr<ByteSource> source = openFileSource(path);
    if (!source) return kCannotOpen;
    return openSource(session, std::move(source), cacheSize);
}

uint16_t Reader::openSource(const TextSession& session, std::unique_ptr<ByteSource> source,
                            size_t cacheSize) {
    if (isOpen()) return kAlreadyOpen;
    if (!session.started) return kNoSession;
    if (!source) return kMissingArg;
    uint8_t mark[4];
    if (source->readAt(kMarkAt, mark, 4) != 4) return kReadError;
    std::optional<ByteOrder> order = ByteOrder::learn(mark);
    if (!order) return kNotAvdFile;

    if (cacheSize == 0) cacheSize = kDefaultCache;
    source_ = std::move(source);
    words_ = std::make_unique<ReadCache>(*source_, std::max(cacheSize / 2, kWordCacheMin));
    texts_ = std::make_unique<ReadCache>(*source_, std::max(cacheSize / 2, kTextCacheMin));
    order_ = *order;

    uint32_t version = 0;
    uint16_t status = word(kVersionAt, version);
    if (status == kOk && version != kFormatVersion) status = kBadVersion;
    const struct {
        uint32_t at;
        uint32_t* into;
    } header[] = {
        {kEntryCountAt, &entryCount_},   {kEntryTableAt, &entryTable_},
        {kTextAreaAt, &sections_[0]},    {kGeneralListAt, &sections_[1]},
        {kTableCountAt, &sections_[2]},  {kListAreaStartAt, &listAreaStart_},
        {kTablesAt, &sections_[3]},      {kListAreaEndAt, &listAreaEnd_},
        {kUpdatedAt, &history_.updated},
    };
    for (const auto& h : header)
        if (status == kOk) status = word(h.at, *h.into);
    if (status == kOk) status = text(kUpdaterAt, history_.updater);
    // The whole entry table must lie in the file, or a count could make
    // every search walk far beyond it.
    if (status == kOk &&
        uint64_t(entryTable_) + uint64_t(entryCount_) * kEntrySize > source_->size())
        status = kReadError;
    if (status != kOk) close();
    return status;
}

uint16_t Reader::close() {
    if (!isOpen()) return kNotOpen;
    words_.reset();
    texts_.reset();
    source_.reset();
    entryCount_ = entryTable_ = listAreaStart_ = listAreaEnd_ = 0;
    std::fill(std::begin(sections_), std::end(sections_), 0);
    history_ = History{};
    havePage_ = false;
    return kOk;
}

uint16_t Reader::word(uint64_t offset, uint32_t& out) {
    uint8_t b[4];
    if (!words_->read(offset, b, 4)) return kReadError;
    out = order_.read(b);
    return kOk;
}

uint16_t Reader::text(uint64_t offset, std::string& out) {
    std::string raw;
    uint8_t c = 0;
    for (;;) {
        if (!texts_->read(offset + raw.size(), &c, 1)) return kReadError;
        if (c == 0) break;
        raw.push_back(char(c));
        if (raw.size() == kMaxNameLen) break; // cut, not refused
    }
    out = qrd::latin1ToUtf8(raw);
    return kOk;
}

uint16_t Reader::getHistory(History* out) {
    if (!isOpen()) return kNotOpen;
    if (!out) return kMissingArg;
    *out = history_;
    return kOk;
}

uint16_t Reader::readEntry(uint32_t index, Entry& entry, bool withName) {
    uint64_t at = uint64_t(entryTable_) + uint64_t(index) * kEntrySize;
    uint32_t nameAt = 0;
    const struct {
        uint32_t field;
        uint32_t* into;
    } fields[] = {
        {kEntryNumberAt, &entry.number},  {kEntryGroupAt, &entry.groupKey},
        {kEntryItemAt, &entry.itemKey},   {kEntryIdentifierAt, &entry.identifier},
        {kEntryListAt, &entry.valueList}, {kEntryNameAt, &nameAt},
    };
    for (const auto& f : fields)
        if (uint16_t s = word(at + f.field, *f.into)) return s;
    return withName ? text(nameAt, entry.name) : uint16_t(kOk);
}

uint16_t Reader::entryAt(uint32_t index, Entry* entry) {
    if (!isOpen()) return kNotOpen;
    if (!entry) return kMissingArg;
    if (index >= entryCount_) return kNotFound;
    return readEntry(index, *entry, true);
}

uint16_t Reader::findEntry(int how, Entry* entry) {
    if (!isOpen()) return kNotOpen;
    if (!entry) return kMissingArg;
    if (how < int(FindBy::Name) || how > int(FindBy::Number)) return kBadMode;
    FindBy by = FindBy(how);
    std::optional<uint32_t> fallback; // the group's own entry, or another with the identifier
    for (uint32_t i = 0; i < entryCount_; ++i) {
        Entry e;
        if (uint16_t s = readEntry(i, e, by == FindBy::Name)) return s;
        bool hit = false;
        switch (by) {
        case FindBy::Name:
            hit = compareNames(e.name, entry->name) == 0;
            break;
        case FindBy::Keys:
            if (e.groupKey == entry->groupKey && e.itemKey == 0 && !fallback) fallback = i;
            hit = e.groupKey == entry->groupKey && e.itemKey == entry->itemKey;
            break;
        case FindBy::Identifier:
            if (e.identifier == entry->identifier && !fallback) fallback = i;
            hit = e.identifier == entry->identifier && e.itemKey == 0;
            break;
        case FindBy::Number:
            hit = e.number == entry->number;
            break;
        }
        if (hit && by == FindBy::Name) {
            *entry = e;
            return kOk;
        }
        if (hit) {
            fallback = i; // read again below, with its name
            break;
        }
    }
    if (!fallback) return kNotFound;
    Entry found;
    if (uint16_t s = readEntry(*fallback, found, true)) return s;
    bool exact = by == FindBy::Number || (by == FindBy::Keys && found.itemKey == entry->itemKey) ||
                 by == FindBy::Identifier;
    *entry = found;
    return exact ? kOk : kGroupOnly;
}

uint16_t Reader::generalListAt(uint64_t& offset) {
    // Directly after the value list that lies furthest into the file.
    bool any = false;
    uint64_t end = 0;
    for (uint32_t i = 0; i < entryCount_; ++i) {
        Entry e;
        if (uint16_t s = readEntry(i, e, false)) return s;
        ListShape shape;
        if (uint16_t s = listShape({ListRef::EntryList, e.valueList}, shape)) return s;
        uint64_t listEnd = shape.itemsAt + uint64_t(shape.count) * shape.itemSize;
        if (!any || listEnd > end) end = listEnd;
        any = true;
    }
    if (!any) return kNotFound;
    offset = end;
    return kOk;
}

uint16_t Reader::listShape(const ListRef& list, ListShape& shape) {
    uint64_t at = list.offset;
    if (list.kind == ListRef::General) {
        if (uint16_t s = generalListAt(at)) return s;
    }
    // A list starts inside the value-list area, with room for its count.
    if (at < listAreaStart_ || listAreaEnd_ < 4 || at > uint64_t(listAreaEnd_) - 4)
        return kReadError;
    bool table = list.kind == ListRef::Table;
    if (uint16_t s = word(at + (table ? kTableCountWordAt : 0), shape.count)) return s;
    shape.itemsAt = at + (table ? kTableItemsAt : kEntryListItemsAt);
    shape.itemSize = table ? kTableItemSize : kEntryListItemSize;
    if (shape.itemsAt + uint64_t(shape.count) * shape.itemSize > source_->size()) return kReadError;
    return kOk;
}

uint16_t Reader::readItem(const ListShape& shape, uint32_t index, ListItem& item) {
    uint64_t at = shape.itemsAt + uint64_t(index) * shape.itemSize;
    uint32_t nameAt = 0;
    if (uint16_t s = word(at, item.value)) return s;
    if (shape.itemSize == kTableItemSize) {
        if (uint16_t s = word(at + 4, item.second)) return s;
        if (uint16_t s = word(at + 8, nameAt)) return s;
    } else if (uint16_t s = word(at + 4, nameAt)) {
        return s;
    }
    return text(nameAt, item.name);
}

uint16_t Reader::firstNotBelow(const ListShape& shape, const std::string& name, uint32_t& index) {
    for (index = 0; index < shape.count; ++index) {
        ListItem item;
        if (uint16_t s = readItem(shape, index, item)) return s;
        if (compareNames(item.name, name) >= 0) break;
    }
    return kOk;
}

uint16_t Reader::getPage(int mode, const PageRequest& request, Page* page) {
    if (!isOpen()) return kNotOpen;
    if (!page) return kMissingArg;
    if (mode < int(PageMode::First) || mode > int(PageMode::FromName)) return kBadMode;
    ListShape shape;
    if (uint16_t s = listShape(request.list, shape)) return s;

    uint32_t n = shape.count, want = std::min(request.count, n);
    bool current = havePage_ && pageList_ == request.list;
    uint32_t first = 0;
    switch (PageMode(mode)) {
    case PageMode::First:
        break;
    case PageMode::Last:
        first = n - want;
        break;
    case PageMode::Next:
        if (request.percent)
            first = indexAtPercent(*request.percent, n);
        else if (current)
            first = pageLast_ + 1;
        first = std::min(first, n - want);
        break;
    case PageMode::Previous: {
        // The page that ends just before the current one, or at the percentage.
        uint64_t end = request.percent ? uint64_t(indexAtPercent(*request.percent, n)) + 1
                                       : (current ? pageFirst_ : 0);
        first = uint32_t(end > want ? end - want : 0);
        break;
    }
    case PageMode::FromName:
        if (uint16_t s = firstNotBelow(shape, request.fromName, first)) return s;
        first = std::min(first, n - want);
        break;
    }

    Page out;
    out.total = n;
    out.firstIndex = first;
    for (uint32_t i = first; i < first + want; ++i) {
        ListItem item;
        if (uint16_t s = readItem(shape, i, item)) return s;
        out.items.push_back(std::move(item));
    }
    uint32_t last = want ? first + want - 1 : first;
    out.firstPercent = n < 2 ? 0 : percentOf(first, n);
    out.lastPercent = n < 2 ? 100 : percentOf(last, n);
    *page = std::move(out);
    pageList_ = request.list;
    pageFirst_ = first;
    pageLast_ = last;
    havePage_ = true;
    return kOk;
}

} // namespace avd
