// Addresses of desktop objects.
//
// DIRDirectoryAddress is what the desktop handles: a unique key that names one
// object (the key of its node maps). DIRNmDirectoryAddress, the only concrete
// kind, says where the object lives: the Namewright holder (a user, or a group
// for shared objects), one attribute number under category 52, and the
// object's creation time, which is part of its identity.
//
// Unique key: the holder's name followed by "<category:number:time>", the
// first two in decimal, the time in lower-case hexadecimal ("<%ld:%ld:%lx>").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "namedir/export.h"

// A stored time: seconds since 1970, read as unsigned 32 bits (valid to 2106).
using DIRTime = uint32_t;

// The current time as a stored time.
NAMEDIR_EXPORT DIRTime DIRCurrentTime();

// Namewright object classes of an address's holder.
enum : long { DIR_NMCLASS_UNSET = -1, DIR_NMCLASS_USER = 1, DIR_NMCLASS_GROUP = 5 };

class NAMEDIR_EXPORT DIRDirectoryAddress {
  public:
    DIRDirectoryAddress() = default;
    DIRDirectoryAddress(const DIRDirectoryAddress&) = default;
    DIRDirectoryAddress& operator=(const DIRDirectoryAddress&) = default;
    virtual ~DIRDirectoryAddress();

    // A copy of the same kind, owned by the caller.
    virtual DIRDirectoryAddress* clone() const;

    // Fails with 40 when the key is empty.
    bool getUniqueKey(std::string& key, long& error) const;
    // Fails with 39 when `key` is empty.
    bool setUniqueKey(const std::string& key, long& error);

    std::string uniqueKey;
};

class NAMEDIR_EXPORT DIRNmDirectoryAddress : public DIRDirectoryAddress {
  public:
    DIRNmDirectoryAddress() = default;
    // The class stays unset; the key is built.
    DIRNmDirectoryAddress(const std::string& name, long category, long number, DIRTime time);
    DIRNmDirectoryAddress(const DIRNmDirectoryAddress& other);
    DIRNmDirectoryAddress& operator=(const DIRNmDirectoryAddress& other);
    DIRDirectoryAddress* clone() const override;

    // Sets the four values and rebuilds the key; the class stays as it was.
    void setNMDirAddress(const std::string& name, long category, long number, DIRTime time);

    // Each fails with 104 while its values are unset.
    bool getNMName(std::string& name, long& error) const;
    bool getNMAttrNumber(long& category, long& number, long& error) const;
    bool getNMClass(long& nmClass, long& error) const;
    bool getNMTime(DIRTime& time) const;

    // Rebuilds the key from the values; an empty name keeps the old key.
    void createUniqueKey();

    // Settles the class (and, fully, the canonical name) and rebuilds the key.
    // Full: the name must be valid without wildcards, formattable and of type
    // user or group, else 109; this asks the directory. Name only (addresses
    // rebuilt from stored lists): a two-part name is a group, anything else a
    // user; nothing is asked and nothing fails.
    bool validateNMDirAddress(long& error, bool nameOnly);

    std::string nmName;
    long attrCategory = -1;
    long attrNumber = -1;
    long nmClass = DIR_NMCLASS_UNSET;
    DIRTime nmTime = 0;
};

// The key of a Namewright address: name + "<category:number:time>".
NAMEDIR_EXPORT std::string DIRMakeUniqueKey(const std::string& name, long category, long number,
                                            DIRTime time);

// An owning pointer to an address that copies the address with the record
// that holds it (records own their addresses and delete them with them).
class DIRAddressPtr {
  public:
    DIRAddressPtr() = default;
    // Takes ownership of `owned`.
    explicit DIRAddressPtr(DIRDirectoryAddress* owned) : p_(owned) {}
    DIRAddressPtr(std::unique_ptr<DIRDirectoryAddress> owned) : p_(std::move(owned)) {}
    DIRAddressPtr(const DIRAddressPtr& other) : p_(other.p_ ? other.p_->clone() : nullptr) {}
    DIRAddressPtr(DIRAddressPtr&&) noexcept = default;
    DIRAddressPtr& operator=(const DIRAddressPtr& other) {
        if (this != &other) p_.reset(other.p_ ? other.p_->clone() : nullptr);
        return *this;
    }
    DIRAddressPtr& operator=(DIRAddressPtr&&) noexcept = default;

    DIRDirectoryAddress* get() const { return p_.get(); }
    DIRDirectoryAddress* operator->() const { return p_.get(); }
    DIRDirectoryAddress& operator*() const { return *p_; }
    explicit operator bool() const { return bool(p_); }
    // Gives up ownership to the caller.
    DIRDirectoryAddress* release() { return p_.release(); }
    void reset(DIRDirectoryAddress* owned = nullptr) { p_.reset(owned); }
    // The address as a Namewright address, or nullptr for none or another kind.
    const DIRNmDirectoryAddress* nm() const {
        return dynamic_cast<const DIRNmDirectoryAddress*>(p_.get());
    }

  private:
    std::unique_ptr<DIRDirectoryAddress> p_;
};
