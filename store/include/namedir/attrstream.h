// Attribute streams: one raw Namewright attribute in memory, with the one
// encoder and decoder of stored integers, texts and byte blocks.
//
// The stream keeps the stored bytes and a high-water mark. Reading an
// attribute replaces the bytes (the mark is the stored size); writing a field
// moves the mark to the field's end when that is further; writing the
// attribute stores exactly the bytes up to the mark. Lists are cleared before
// they are rewritten; fixed records are read first and rewritten in place, so
// they never become shorter.
//
// Every field read is checked against the stored size: a field or a text that
// runs past the end, or a text longer than its place allows, is 105, never a
// read beyond the buffer. Texts: UTF-8 in memory, UTF-16LE stored, lengths in
// code units, limits in bytes of UTF-16 (101 beyond), bad UTF-8 or UTF-16 102.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <qrdapi.h>

#include "namedir/export.h"
#include "namedir/layout.h"

namespace namedir {

// A condition of a conditional write: attribute (category, number) of the
// same holder holds exactly `bytes`, or (`absent`) has no value.
struct AttrCondition {
    uint32_t category = 0;
    uint32_t number = 0;
    bool absent = false;
    std::vector<uint8_t> bytes;
};

// Where attributes are read and written. The store's own goes through
// CQrdApi; tests may put another in its place. Results are client API
// statuses (0 = success, 1055 = no such attribute, 1033 = access denied).
class NAMEDIR_EXPORT AttrStore {
  public:
    virtual ~AttrStore();
    virtual QRDSTATUS read(const std::string& holder, uint32_t category, uint32_t number,
                           std::vector<uint8_t>& bytes) = 0;
    virtual QRDSTATUS write(const std::string& holder, uint32_t category, uint32_t number,
                            const std::vector<uint8_t>& bytes) = 0;
    virtual QRDSTATUS remove(const std::string& holder, uint32_t category, uint32_t number) = 0;
    // Writes only if every condition holds, checked and written as one step;
    // QRDERR_NM_CONDITION_FAILED (nothing written) otherwise.
    virtual QRDSTATUS writeIf(const std::string& holder, uint32_t category, uint32_t number,
                              const std::vector<uint8_t>& bytes,
                              const std::vector<AttrCondition>& conditions) = 0;
};

// The attribute store of the calling thread's Namewright session (CQrdApi).
NAMEDIR_EXPORT AttrStore& clientAttrStore();

// Where a text is kept: in a fixed slot (no byte past the slot, so a text
// that fills it has no terminating zero) or packed in a list (always
// followed by a 16-bit zero, which the next text overwrites).
enum class TextPlace { Fixed, Packed };

class NAMEDIR_EXPORT AttrStream {
  public:
    static constexpr size_t kReserved = 4096;

    AttrStream(std::string holder, uint32_t category, uint32_t number);

    const std::string& holder() const { return holder_; }
    uint32_t category() const { return category_; }
    uint32_t number() const { return number_; }

    // ---- The attribute ----
    // Replaces the bytes with the stored ones: 0, 117 (no such attribute),
    // 41 (access denied) or 105. On failure the stream is empty.
    long read(AttrStore& store);
    // Before a fixed record is rewritten in place: reads it, and takes a
    // missing attribute as an empty one (0); other failures as read.
    long readForRewrite(AttrStore& store);
    // Stores the bytes up to the mark: 0 or 106.
    long write(AttrStore& store) const;
    // Deletes the attribute: 0, 117 when there is none, else `failure`.
    long remove(AttrStore& store, long failure) const;

    // ---- The bytes ----
    // As if `bytes` had been read.
    void load(std::vector<uint8_t> bytes);
    // Empty, mark 0 (before a list is rewritten).
    void clear();
    size_t size() const { return mark_; }
    std::vector<uint8_t> bytes() const;

    // ---- Writing fields ----
    void putU32(uint32_t at, uint32_t value);
    // The text's code-unit count at `lengthAt`, its units at `dataAt`.
    // `limit` 0 means no limit. `end` receives the offset after the units.
    long putText(uint32_t lengthAt, uint32_t dataAt, uint32_t limit, const std::string& text,
                 TextPlace place, uint32_t* end = nullptr);
    long putText(const layout::TextSlot& slot, const std::string& text) {
        return putText(slot.lengthAt, slot.dataAt, slot.limit, text, TextPlace::Fixed);
    }
    // A byte block: its length at `lengthAt`, the bytes at `dataAt`.
    void putBlock(uint32_t lengthAt, uint32_t dataAt, const std::vector<uint8_t>& block);

    // ---- Reading fields ----
    long getU32(uint32_t at, uint32_t& value) const;
    long getLong(uint32_t at, long& value) const; // the word as signed 32 bits
    long getText(uint32_t lengthAt, uint32_t dataAt, uint32_t limit, std::string& text,
                 uint32_t* end = nullptr) const;
    long getText(const layout::TextSlot& slot, std::string& text) const {
        return getText(slot.lengthAt, slot.dataAt, slot.limit, text);
    }
    long getBlock(uint32_t lengthAt, uint32_t dataAt, std::vector<uint8_t>& block) const;

  private:
    uint8_t* room(uint32_t at, size_t n); // grows the bytes and the mark
    bool holds(uint64_t at, uint64_t n) const { return at + n <= mark_; }

    std::string holder_;
    uint32_t category_;
    uint32_t number_;
    std::vector<uint8_t> bytes_;
    size_t mark_ = 0;
};

} // namespace namedir
