// USRNode: one directory record in memory. A node knows its record's
// address, shows its name and data, and reads and writes the record through
// the context's DIRDirectory:
//
// - read: asks only for the record's date last modified; when it equals the
//   node's directory time stamp (and the node was read before) nothing else
//   is asked. Otherwise the whole record is read. A record that vanished is
//   always 36, whatever the store said (117, 121).
// - write: stores the node's fields, guarded by the time stamp. When another
//   workstation changed the record since (118), the node merges: the stored
//   record is taken as the base, the parts this node changed (change flags)
//   are put on it, and the merged record is written once more.
//
// The node keeps the last record it read or wrote, so that fields it does
// not show survive its writes. Kinds add their own fields through
// takeRecord / fillRecord / mergeInto.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include <namedir/address.h>
#include <namedir/records.h>

#include "nodes/usraddress.h"
#include "nodes/usrnodedata.h"

class USRContext;

class USRNode {
  public:
    // Change flags: cleared after every read and write.
    enum Change : int {
        CHANGED_FIELDS = 1,      // name, texts or the kind's own fields
        CHANGED_RIGHTS = 2,      // the access rights list
        CHANGED_SUBSCRIBERS = 4, // the subscriber list
        CHANGED_CHILDREN = 8,    // children added or removed
    };

    USRNode(USRContext& context, long objectType, std::unique_ptr<USRNodeData> data = nullptr);
    virtual ~USRNode();
    USRNode(const USRNode&) = delete;
    USRNode& operator=(const USRNode&) = delete;

    // ---- The node's slots ----
    virtual bool read(long& error);
    virtual bool write(long& error);
    // Shows the node's property dialog (read-only unless `editable`); true
    // when something was changed.
    virtual bool edit(bool editable, bool flag);

    // ---- Identity ----
    USRContext& context() const { return context_; }
    const DIRDirectoryAddress* address() const { return address_.get(); }
    bool setAddress(const DIRDirectoryAddress* address, long& error);
    // The address's unique key; 40 without an address.
    bool uniqueKey(std::string& key, long& error) const;
    std::string key() const; // empty without an address
    long objectType() const { return objectType_; }
    void setObjectType(long type) { objectType_ = type; }

    // ---- Shown fields ----
    const std::string& name() const { return name_; }
    void setName(const std::string& name);
    void setDescription(const std::string& text);
    DIRTime modifiedTime() const { return modified_; }
    void setModifiedTime(DIRTime t) { modified_ = t; }
    DIRTime dirTime() const { return data_->dirTime; }
    void setDirTime(DIRTime t) { data_->dirTime = t; }
    USRNodeData& data() { return *data_; }
    const USRNodeData& data() const { return *data_; }
    bool isShared() const { return data_->shared; }

    void markDefaultFolder() { defaultFolder_ = true; }
    bool isDefaultFolder() const { return defaultFolder_; }
    // Whether the record was read whole at least once.
    bool isLoaded() const { return loaded_; }

    // ---- Parents (the folders that list this node) ----
    bool addParent(const DIRDirectoryAddress& folder, long& error);
    bool addParent(const USRNode& folder, long& error);
    bool removeParent(const std::string& key, long& error); // 35 empty, 36 missing
    long parentCount() const { return long(parents_.size()); }
    const std::map<std::string, USRAddress>& parents() const { return parents_; }

    // ---- Marks ----
    void markStale() { stale_ = true; }
    void clearStale() { stale_ = false; }
    bool isStale() const { return stale_; }
    // For a deletion or publication of the node: false when already taken.
    bool takeBusyLock() { return !busy_.exchange(true); }
    void releaseBusyLock() { busy_ = false; }
    bool isBusy() const { return busy_; }

    void setChanged(int flags) { changes_ |= flags; }
    bool isChanged(int flag) const { return (changes_ & flag) != 0; }
    void clearChangeFlags() { changes_ = 0; }
    void setReferencesChanged(bool changed) { referencesChanged_ = changed; }

    // Writes this node's entry (name, description, times) in every parent
    // folder's listing; 37 for a parent the folder registry does not hold.
    bool rewriteReferences(long& error);

    // ---- Records ----
    // The record as this node would write it (a copy of the last one read,
    // with the node's fields on it).
    std::unique_ptr<DIRCommonInfo> makeRecord() const;
    // Takes a whole record into the node (as a read does).
    void takeWhole(const DIRCommonInfo& record);
    // A reference to this node for a folder listing or a new-folders list.
    stNewItemRefEntry makeReference() const;

    // Finds the node of a unique key in the folder registry, or makes it
    // (through the kind factory), reads it and registers it.
    static USRNode* findOrCreate(USRContext& context, const std::string& key, long& error);
    // Deletes every node of the folder registry marked stale.
    static bool purgeStale(USRContext& context, long& error);

  protected:
    // The parts a read asks for and a write stores (DIRMask).
    virtual long readMask() const;
    virtual long writeMask() const;
    // The kind's own fields from / into a record.
    virtual void takeRecord(const DIRCommonInfo& record);
    virtual void fillRecord(DIRCommonInfo& record) const;
    // After 118: puts this node's changed parts on `stored` (the record as
    // another workstation left it).
    virtual void mergeInto(DIRCommonInfo& stored) const;

  private:
    long writeFailure(long code) const;
    void takeCommon(const DIRCommonInfo& record);
    void fillCommon(DIRCommonInfo& record) const;

    USRContext& context_;
    DIRTime modified_ = 0;
    bool defaultFolder_ = false;
    DIRAddressPtr address_;
    std::string name_;
    std::map<std::string, USRAddress> parents_;
    long objectType_;
    bool stale_ = false;
    std::atomic<bool> busy_{false};
    std::unique_ptr<USRNodeData> data_;
    int changes_ = 0;
    bool referencesChanged_ = false;
    bool loaded_ = false;
    std::unique_ptr<DIRCommonInfo> record_; // the last record read or written
};

// Store codes that mean the record is gone (117, 121) become 36.
long USRVanished(long code);
