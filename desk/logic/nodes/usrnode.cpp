#include "nodes/usrnode.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}
} // namespace

long USRVanished(long code) {
    return (code == DIR_ATTR_MISSING || code == DIR_WRONG_TYPE) ? DIR_OBJECT_MISSING : code;
}

USRNode::USRNode(USRContext& context, long objectType, std::unique_ptr<USRNodeData> data)
    : context_(context), objectType_(objectType),
      data_(data ? std::move(data) : std::make_unique<USRNodeData>()) {}

USRNode::~USRNode() = default;

bool USRNode::edit(bool, bool) {
    return false;
}

bool USRNode::setAddress(const DIRDirectoryAddress* address, long& error) {
    if (!address || address->uniqueKey.empty()) return fail(error, DIR_INVALID_KEY);
    address_.reset(address->clone());
    error = 0;
    return true;
}

bool USRNode::uniqueKey(std::string& key, long& error) const {
    if (!address_) return fail(error, DIR_KEY_NOT_FOUND);
    return address_->getUniqueKey(key, error);
}

std::string USRNode::key() const {
    return address_ ? address_->uniqueKey : std::string();
}

void USRNode::setName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    changes_ |= CHANGED_FIELDS;
    referencesChanged_ = true;
}

void USRNode::setDescription(const std::string& text) {
    if (text == data_->description) return;
    data_->description = text;
    changes_ |= CHANGED_FIELDS;
    referencesChanged_ = true;
}

// ---- Parents ------------------------------------------------------------

bool USRNode::addParent(const DIRDirectoryAddress& folder, long& error) {
    if (folder.uniqueKey.empty()) return fail(error, DIR_KEY_NOT_FOUND);
    parents_.insert_or_assign(folder.uniqueKey, USRAddress(folder));
    error = 0;
    return true;
}

bool USRNode::addParent(const USRNode& folder, long& error) {
    if (!folder.address()) return fail(error, DIR_KEY_NOT_FOUND);
    return addParent(*folder.address(), error);
}

bool USRNode::removeParent(const std::string& key, long& error) {
    if (parents_.empty()) return fail(error, DIR_COLLECTION_EMPTY);
    if (parents_.erase(key) == 0) return fail(error, DIR_OBJECT_MISSING);
    error = 0;
    return true;
}

bool USRNode::rewriteReferences(long& error) {
    DIRCommonInfo entry;
    if (address_) entry.address.reset(address_->clone());
    entry.base.objectType = objectType_;
    entry.base.modified = data_->dirTime;
    entry.base.shared = data_->shared;
    entry.name = name_;
    entry.description = data_->description;
    for (const auto& [key, parent] : parents_) {
        if (!parent.address()) return fail(error, DIR_ADDRESS_NOT_FOUND);
        int updated = 0;
        long e = 0;
        if (!context_.dir().updateReference(parent.address(), entry, updated, e))
            return fail(error, USRVanished(e));
    }
    referencesChanged_ = false;
    error = 0;
    return true;
}

// ---- Records --------------------------------------------------------------

long USRNode::readMask() const {
    return DIR_MASK_FULL;
}

long USRNode::writeMask() const {
    // A folder's contents are written only by the store's link operations.
    return DIR_MASK_MAIN | DIR_MASK_ACCESS | DIR_MASK_SUBSCRIBERS | DIR_MASK_TYPE_DATA;
}

void USRNode::takeRecord(const DIRCommonInfo&) {}
void USRNode::fillRecord(DIRCommonInfo&) const {}

void USRNode::mergeInto(DIRCommonInfo& stored) const {
    if (changes_ & CHANGED_FIELDS) {
        // Only the texts this node changed since its read go on the other's.
        const DIRCommonInfo* read = record_.get();
        auto put = [read](std::string& to, const std::string& mine, std::string DIRCommonInfo::*f) {
            if (!read || read->*f != mine) to = mine;
        };
        put(stored.name, name_, &DIRCommonInfo::name);
        put(stored.creator, data_->creator, &DIRCommonInfo::creator);
        put(stored.extraText, data_->extraText, &DIRCommonInfo::extraText);
        put(stored.longText, data_->longText, &DIRCommonInfo::longText);
        put(stored.description, data_->description, &DIRCommonInfo::description);
        fillRecord(stored);
    }
    if (changes_ & CHANGED_RIGHTS) {
        stored.accessRights.clear();
        for (const USRAccessEntry& e : data_->accessRights)
            stored.accessRights.push_back({e.role, e.name});
    }
}

void USRNode::takeCommon(const DIRCommonInfo& record) {
    if (record.address) address_.reset(record.address->clone());
    if (record.base.objectType) objectType_ = record.base.objectType;
    modified_ = record.base.modified;
    data_->dirTime = record.base.modified;
    data_->shared = record.base.shared != 0;
    name_ = record.name;
    data_->creator = record.creator;
    data_->extraText = record.extraText;
    data_->longText = record.longText;
    data_->description = record.description;
    // Kinds and publication marks of entries that stay are kept.
    std::vector<USRAccessEntry> rights;
    for (const DIRAccessRight& r : record.accessRights) {
        USRAccessEntry entry{r.name, USR_KIND_UNKNOWN, r.rights, false};
        for (const USRAccessEntry& old : data_->accessRights)
            if (USRSameName(old.name, r.name)) {
                entry.kind = old.kind;
                entry.mark = old.mark;
            }
        rights.push_back(entry);
    }
    data_->accessRights = std::move(rights);
    data_->myRights = -1;
}

void USRNode::fillCommon(DIRCommonInfo& record) const {
    if (address_) record.address.reset(address_->clone());
    record.base.objectType = objectType_;
    record.base.modified = data_->dirTime;
    record.base.shared = data_->shared ? 1 : 0;
    record.name = name_;
    record.creator = data_->creator;
    record.extraText = data_->extraText;
    record.longText = data_->longText;
    record.description = data_->description;
    record.accessRights.clear();
    for (const USRAccessEntry& e : data_->accessRights)
        record.accessRights.push_back({e.role, e.name});
}

std::unique_ptr<DIRCommonInfo> USRNode::makeRecord() const {
    std::unique_ptr<DIRCommonInfo> record =
        record_ ? USRCloneRecord(*record_) : USRNewRecord(objectType_);
    fillCommon(*record);
    fillRecord(*record);
    return record;
}

void USRNode::takeWhole(const DIRCommonInfo& record) {
    takeCommon(record);
    takeRecord(record);
    record_ = USRCloneRecord(record);
    loaded_ = true;
}

stNewItemRefEntry USRNode::makeReference() const {
    stNewItemRefEntry ref;
    if (address_) ref.address.reset(address_->clone());
    ref.name = name_;
    ref.objectType = objectType_;
    ref.shared = data_->shared ? 1 : 0;
    if (auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address_.get()))
        ref.time = nm->nmTime;
    ref.refText = data_->description;
    ref.modified = data_->dirTime;
    return ref;
}

// ---- Read and write -------------------------------------------------------

bool USRNode::read(long& error) {
    if (!address_) return fail(error, DIR_ADDRESS_UNSET);
    DIRDirectory& dir = context_.dir();
    DIRTime stamp = 0;
    long e = 0;
    if (!dir.getDateLastModified(*address_, stamp, e)) return fail(error, USRVanished(e));
    if (loaded_ && stamp == data_->dirTime) {
        changes_ = 0;
        error = 0;
        return true;
    }
    std::unique_ptr<DIRCommonInfo> record = USRNewRecord(objectType_);
    record->address.reset(address_->clone());
    record->base.objectType = objectType_;
    if (!dir.getNode(readMask(), *record, e)) return fail(error, USRVanished(e));
    // A record changed between the two calls is simply the newer one: the
    // store writes its lists before its date, so what was read is whole.
    bool wasLoaded = loaded_;
    std::string oldName = name_, oldDescription = data_->description;
    takeWhole(*record);
    if (wasLoaded && (oldName != name_ || oldDescription != data_->description)) {
        long ignored = 0;
        rewriteReferences(ignored); // the listings follow; the read stands either way
    }
    changes_ = 0;
    error = 0;
    return true;
}

long USRNode::writeFailure(long code) const {
    // A record that was destroyed reads as an empty one of no type, which
    // the store cannot compare with: that is a vanished record too.
    DIRTime stamp = 0;
    long e = 0;
    if (code == DIR_NOT_IMPLEMENTED && address_ &&
        context_.dir().getDateLastModified(*address_, stamp, e) && stamp == 0)
        return DIR_OBJECT_MISSING;
    return USRVanished(code);
}

bool USRNode::write(long& error) {
    if (!address_) return fail(error, DIR_ADDRESS_UNSET);
    DIRDirectory& dir = context_.dir();
    std::unique_ptr<DIRCommonInfo> record = makeRecord();
    std::unique_ptr<DIRCommonInfo> current;
    long e = 0;
    if (dir.updateNode(writeMask(), *record, current, e)) {
        // What was written is the node's own; only the record's date is new.
        // (Parts the write leaves alone, like a folder's listing, stay as
        // the node holds them.)
        takeCommon(*record);
        record_ = USRCloneRecord(*record);
    } else {
        if (e != DIR_ITEM_CHANGED || !current) return fail(error, writeFailure(e));
        // Another workstation wrote first: merge onto its record (read whole)
        // and write that.
        mergeInto(*current);
        std::unique_ptr<DIRCommonInfo> again;
        e = 0;
        if (!dir.updateNode(writeMask(), *current, again, e)) return fail(error, writeFailure(e));
        takeWhole(*current);
    }
    changes_ = 0;
    if (referencesChanged_ && !rewriteReferences(e)) return fail(error, e);
    error = 0;
    return true;
}

// ---- Registry helpers -----------------------------------------------------

USRNode* USRNode::findOrCreate(USRContext& context, const std::string& key, long& error) {
    USRNode* node = nullptr;
    long e = 0;
    if (context.folders().lookup(key, node, e)) return node;
    DIRAddressPtr address;
    long type = 0;
    if (!context.dir().getDirectoryAddress(key, address, type, e)) {
        error = USRVanished(e);
        return nullptr;
    }
    if (type == DIR_TYPE_NONE) {
        error = DIR_OBJECT_MISSING;
        return nullptr;
    }
    std::unique_ptr<USRNode> made = context.factory().make(context, type);
    if (!made->setAddress(address.get(), e) || !made->read(e)) {
        error = e;
        return nullptr;
    }
    node = made.get();
    if (!context.folders().add(made, e)) {
        if (!context.folders().lookup(key, node, e)) {
            error = e;
            return nullptr;
        }
    }
    node->clearChangeFlags();
    error = 0;
    return node;
}

bool USRNode::purgeStale(USRContext& context, long& error) {
    for (USRNode* node : context.folders().nodes()) {
        if (!node->isStale()) continue;
        if (!context.folders().removeAndDelete(node, error)) return false;
    }
    error = 0;
    return true;
}
