// NmObject: one desktop object opened for reading and writing: an owned copy
// of its address, its decoded main record, one attribute stream per category
// read on demand, and a dirty flag per stream.
//
// commit() writes the dirty list streams first and the main record last, so
// that a reader who sees the new modification time also sees the new lists
// (a reader that re-reads only when the time changed would otherwise keep old
// lists under a new time). The stored modification time only ever grows:
// two commits within one second still give two different times, so an
// update in the same second as the reader's read is not taken for none.
//
// Claims: an ordinary object's update ticket is (54, n), which its own data
// never uses (the free list's ticket of its number, ticket.h). Putting a
// claim on it makes this the only writer, so the change check sees what the
// last writer left, and every write of the commit is made only while the
// claim is still in place. Objects written before tickets get one on their
// first claim; a claim that stays while the object does not change for a
// few seconds (a writer that stopped) is taken over.
//
// Objects at fixed numbers keep lists in 54 and so have no ticket: each of
// their writes is made only while the attribute (and the main record) still
// holds what this object read.
//
// A write refused because its condition no longer holds is kWriteRaced:
// the operation starts again from its reads (raced()).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "namedir/attrstream.h"
#include "namedir/errors.h"
#include "namedir/records.h"
#include "ticket.h"

namespace namedir {

class NmObject {
  public:
    explicit NmObject(AttrStore& store) : store_(store) {}
    ~NmObject();
    NmObject(const NmObject&) = delete;
    NmObject& operator=(const NmObject&) = delete;

    // Copies the address (null or not a Namewright address: 104), checks it
    // by name only and reads the main record: a missing (or access-denied)
    // one is an empty record of type 0; a free number 117; a bad type 129.
    long open(const DIRDirectoryAddress* address);
    long open(const std::string& holder, uint32_t number, DIRTime time = 0);

    const DIRNmDirectoryAddress& address() const { return *address_; }
    const std::string& holder() const { return address_->nmName; }
    uint32_t number() const { return uint32_t(address_->attrNumber); }
    // The stored main record (base words and texts).
    const DIRCommonInfo& header() const { return header_; }
    bool exists() const { return exists_; }
    DIRTime modified() const { return header_.base.modified; }

    // Replaces the main record's values (written at commit).
    void setHeader(const DIRCommonInfo& record);
    // Marks the main record for writing so that the commit moves `modified`.
    void touch() { mainDirty_ = true; }

    // Lists, read and written whole. A missing list reads as empty.
    long getRefs(uint32_t category, std::vector<DIRRefInfo>& list);
    long putRefs(uint32_t category, const std::vector<DIRRefInfo>& list);
    long getParents(std::vector<DIRParentInfo>& list);
    long putParents(const std::vector<DIRParentInfo>& list);
    long getAccessRights(std::vector<DIRAccessRight>& list);
    long putAccessRights(const std::vector<DIRAccessRight>& list);
    // Category 56 by the record's type (folder subscribers, item and action
    // data); a missing attribute leaves the record's fields as they are.
    long getTypeData(DIRCommonInfo& record);
    long putTypeData(const DIRCommonInfo& record);

    // Makes this the only writer of an ordinary object until the commit (or
    // the end of the accessor), then reads its main record again: the
    // change check and every list read after the claim see what the last
    // writer left. Objects at fixed numbers are not claimed.
    long claim();

    // After the object's storage was deleted: its ticket is the free list's.
    void forgetClaim() { ticket_.reset(); }

    // Writes what changed; 0 or a store error. A claim is given back after.
    long commit();

  private:
    long readMain();
    void release();
    // Writes `s`, on the condition that fits the object (see the top).
    long write(const AttrStream& s);
    // The value of `s` as read: present and bytes.
    using Read = std::pair<bool, std::vector<uint8_t>>;

    // The stream of `category`, read on first use (missing: empty). A list
    // about to be rewritten whole need not be read (`read` false).
    long stream(uint32_t category, AttrStream*& s, bool read = true);
    template <typename T>
    long getList(uint32_t category, long (*decode)(const AttrStream&, std::vector<T>&),
                 std::vector<T>& list);
    template <typename T>
    long putList(uint32_t category, long (*encode)(const std::vector<T>&, AttrStream&),
                 const std::vector<T>& list);

    AttrStore& store_;
    std::unique_ptr<DIRNmDirectoryAddress> address_;
    AttrStream main_{"", 0, 0};
    DIRCommonInfo header_;
    bool exists_ = false;
    bool mainDirty_ = false;
    std::unique_ptr<Ticket> ticket_; // while claimed
    std::map<uint32_t, std::unique_ptr<AttrStream>> streams_;
    std::map<uint32_t, bool> dirty_;
    std::map<uint32_t, Read> read_; // by category, main record included
};

// A write refused because another workstation changed the object first.
constexpr long kWriteRaced = -2;

// Runs `op` (false with its error, as DIRDirectory's operations report)
// again while it ends in kWriteRaced, a bounded number of times; a race
// that never ends is a failed write.
template <typename Op> bool raced(long& error, Op&& op) {
    constexpr int kAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        long e = 0;
        if (op(e)) return true;
        if (e != kWriteRaced) {
            error = e;
            return false;
        }
        if (attempt == kAttempts) {
            error = DIR_ATTR_WRITE;
            return false;
        }
    }
}

// The same for an operation that returns its error (0 for success).
template <typename Op> long racedCode(Op&& op) {
    long error = 0;
    raced(error, [&](long& e) {
        e = op();
        return e == 0;
    });
    return error;
}

// Claims two objects in the order of their keys (one claim when they are
// the same object).
long claimBoth(NmObject& a, NmObject& b);

// Copies the base words and the five texts.
void copyHeader(const DIRCommonInfo& from, DIRCommonInfo& to);

// The unique key of an address, empty for none.
std::string keyOf(const DIRDirectoryAddress* address);
// Removes every entry (of a reference or parents list) whose address has
// the unique key `key`; returns how many went.
template <typename Entry> size_t removeKey(std::vector<Entry>& list, const std::string& key) {
    size_t before = list.size();
    std::erase_if(list, [&](const Entry& e) { return keyOf(e.address.get()) == key; });
    return before - list.size();
}

// A reference entry as stored: its time is its address's (the stored entry's
// key is rebuilt from that time).
DIRRefInfo refEntryOf(const DIRRefInfo& item);

} // namespace namedir
