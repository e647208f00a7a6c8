// Reads an attribute definition file (avdformat.h) of either byte order.
// Every offset and count read from the file is checked against the file
// before it is used: a truncated or lying file gives kReadError (or the
// status of its fault), never a read outside it.
//
// One reader reads one file at a time. Not thread-safe: each window owns its
// reader. Names come back in UTF-8 (the file holds Latin-1).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "avdformat.h"
#include "byteorder.h"
#include "readcache.h"

namespace avd {

// The character-set session whose conversion every name read passes
// through; a reader refuses to open without a started one.
struct TextSession {
    bool started = false;
};

struct Entry {
    uint32_t number = 0;
    uint32_t groupKey = 0;
    uint32_t itemKey = 0; // 0: the entry of the whole group
    uint32_t identifier = 0;
    uint32_t valueList = 0; // offset of the entry's value list
    std::string name;
};

enum class FindBy { Name = 0, Keys = 1, Identifier = 2, Number = 3 };

// Which list a page is taken from.
struct ListRef {
    enum Kind { EntryList, Table, General } kind = EntryList;
    uint32_t offset = 0; // of the list; not used for the general list
    bool operator==(const ListRef&) const = default;
};

enum class PageMode { First = 1, Last = 2, Next = 3, Previous = 4, FromName = 5 };

struct PageRequest {
    ListRef list;
    uint32_t count = 0;              // items wanted
    std::optional<unsigned> percent; // Next/Previous: jump to 0-100 instead
    std::string fromName;            // FromName: the first item not below it
};

struct ListItem {
    uint32_t value = 0;
    uint32_t second = 0; // free-standing lists only
    std::string name;
};

struct Page {
    std::vector<ListItem> items;
    uint32_t total = 0; // items in the whole list
    uint32_t firstIndex = 0;
    unsigned firstPercent = 0; // positions for a scroll bar, 0-100
    unsigned lastPercent = 0;
};

struct History {
    uint32_t updated = 0; // seconds since 1970
    std::string updater;
};

class Reader {
  public:
    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // cacheSize is shared by the word and the text cache (each takes half,
    // at least 100 and 201 bytes); 0 takes the default.
    uint16_t open(const TextSession& session, const std::string& path, size_t cacheSize = 0);
    uint16_t openSource(const TextSession& session, std::unique_ptr<ByteSource> source,
                        size_t cacheSize = 0);
    uint16_t close();
    bool isOpen() const { return source_ != nullptr; }

    uint16_t getHistory(History* out);
    // Name: entry->name; Keys: groupKey and itemKey (the group's own entry
    // with kGroupOnly when the item has none); Identifier: identifier (the
    // group's own entry first); Number: number.
    uint16_t findEntry(int how, Entry* entry);
    // The entry at a place in the table (0 .. entryCount() - 1).
    uint16_t entryAt(uint32_t index, Entry* entry);
    uint32_t entryCount() const { return entryCount_; }
    // Header words 16, 20, 24 and 32 as the file holds them.
    const uint32_t* sectionWords() const { return sections_; }
    uint16_t getPage(int mode, const PageRequest& request, Page* page);

  private:
    struct ListShape {
        uint32_t count = 0;
        uint64_t itemsAt = 0;
        uint32_t itemSize = 0;
    };
    uint16_t word(uint64_t offset, uint32_t& out);
    uint16_t text(uint64_t offset, std::string& out);
    uint16_t readEntry(uint32_t index, Entry& entry, bool withName);
    uint16_t listShape(const ListRef& list, ListShape& shape);
    uint16_t generalListAt(uint64_t& offset);
    uint16_t readItem(const ListShape& shape, uint32_t index, ListItem& item);
    uint16_t firstNotBelow(const ListShape& shape, const std::string& name, uint32_t& index);

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<ReadCache> words_;
    std::unique_ptr<ReadCache> texts_;
    ByteOrder order_ = ByteOrder::little();
    uint32_t entryCount_ = 0;
    uint32_t entryTable_ = 0;
    uint32_t listAreaStart_ = 0;
    uint32_t listAreaEnd_ = 0;
    uint32_t sections_[4] = {};
    History history_;
    // The page last returned, for Next and Previous.
    ListRef pageList_;
    uint32_t pageFirst_ = 0;
    uint32_t pageLast_ = 0;
    bool havePage_ = false;
};

// Names compared as the reader does: without regard to case, on at most
// kNameCompareLen characters. Negative, 0 or positive like strcmp.
int compareNames(const std::string& a, const std::string& b);

} // namespace avd
