// DIRDirectory: reading, creating, updating and deleting nodes; references;
// the login names.
#include <algorithm>

#include "namedir/directory.h"
#include "namedir/errors.h"
#include "namedir/freelist.h"
#include "namedir/layout.h"
#include "namedir/qrdapi_wrapper.h"
#include "nmobject.h"
#include "outcome.h"

using namespace namedir;
using namespace namedir::layout;

namespace {

// What getNode reads, by the record's type: with DIR_MASK_FULL, the type's
// "full" parts; with DIR_MASK_TYPE_DATA, the mask less `drop` plus `data`;
// otherwise the mask less `drop`.
struct MaskRow {
    long type;
    long full;
    long drop;
    long data;
};
constexpr MaskRow kMasks[] = {
    {DIR_TYPE_NONE, DIR_MASK_MAIN | DIR_MASK_ACCESS, ~long(DIR_MASK_MAIN | DIR_MASK_ACCESS), 0},
    {DIR_TYPE_FOLDER, 0x008B, 0x0010, DIR_MASK_CONTENTS},
    {DIR_TYPE_DOCUMENT, 0x0E03, DIR_MASK_SUBSCRIBERS, DIR_MASK_DOC_TEXTS},
    {DIR_TYPE_WEB, 0x0103, DIR_MASK_SUBSCRIBERS, DIR_MASK_URL},
    {DIR_TYPE_GENERIC, 0x1003, DIR_MASK_SUBSCRIBERS, DIR_MASK_GENERIC},
    {DIR_TYPE_ACTION, 0x2001, DIR_MASK_SUBSCRIBERS, DIR_MASK_ACTION},
};

const MaskRow* maskRow(long type) {
    for (const MaskRow& r : kMasks)
        if (r.type == type) return &r;
    return nullptr;
}

// The parts of category 56 of each type, as mask bits.
constexpr long kTypeDataBits =
    DIR_MASK_SUBSCRIBERS | DIR_MASK_URL | DIR_MASK_DOC_TEXTS | DIR_MASK_ACTION;

// A new, empty record of the class of `type`.
std::unique_ptr<DIRCommonInfo> newRecord(long type) {
    switch (type) {
    case DIR_TYPE_FOLDER:
        return std::make_unique<DIRFolder>();
    case DIR_TYPE_DOCUMENT:
        return std::make_unique<DIRDocItem>();
    case DIR_TYPE_WEB:
        return std::make_unique<DIRWebItem>();
    case DIR_TYPE_GENERIC:
        return std::make_unique<DIRGenericItem>();
    case DIR_TYPE_ACTION:
        return std::make_unique<DIRAction>();
    default:
        return nullptr;
    }
}

bool creatable(long type) {
    return type == DIR_TYPE_FOLDER || type == DIR_TYPE_DOCUMENT || type == DIR_TYPE_WEB ||
           type == DIR_TYPE_GENERIC || type == DIR_TYPE_ACTION;
}

} // namespace

bool DIRDirectory::getLoginUserName(std::string& name, long& error) {
    std::lock_guard<std::mutex> lock(loginLock_);
    if (loginUser_.empty()) {
        std::string user;
        if (CQrdApi::getUserName(user) != 0 || user.empty())
            return fail(error, DIR_NOBODY_LOGGED_IN);
        loginUser_ = user;
    }
    name = loginUser_;
    return true;
}

bool DIRDirectory::getLoginGroupName(std::string& name, long& error) {
    std::lock_guard<std::mutex> lock(loginLock_);
    if (loginGroup_.empty()) {
        std::string group;
        if (CQrdApi::getUserGroup(group) != 0 || group.empty())
            return fail(error, DIR_NOBODY_LOGGED_IN);
        loginGroup_ = group;
    }
    name = loginGroup_;
    return true;
}

long DIRDirectory::readParts(long mask, NmObject& object, DIRCommonInfo& record) {
    if (mask & DIR_MASK_ACCESS)
        if (long e = object.getAccessRights(record.accessRights)) return e;
    if (mask & DIR_MASK_PARENTS)
        if (long e = object.getParents(record.parents)) return e;
    if (mask & kTypeDataBits)
        if (long e = object.getTypeData(record)) return e;
    if (mask & DIR_MASK_CONTENTS) {
        auto* folder = dynamic_cast<DIRFolder*>(&record);
        if (!folder) return DIR_NOT_IMPLEMENTED;
        if (long e = object.getRefs(kCatContents, folder->contents)) return e;
    }
    return DIR_OK;
}

long DIRDirectory::readWhole(const NmObject& object, std::unique_ptr<DIRCommonInfo>& out) {
    long type = object.header().base.objectType;
    std::unique_ptr<DIRCommonInfo> r = newRecord(type);
    if (!r || type == DIR_TYPE_GENERIC) return DIR_NOT_IMPLEMENTED;
    r->address.reset(object.address().clone());
    r->base.objectType = type;
    long error = 0;
    long mask = DIR_MASK_FULL | (type == DIR_TYPE_ACTION ? 0L : long(DIR_MASK_PARENTS));
    if (!getNode(mask, *r, error)) return error;
    out = std::move(r);
    return DIR_OK;
}

bool DIRDirectory::getNode(long mask, DIRCommonInfo& record, long& error) {
    long type = record.base.objectType;
    const MaskRow* row = maskRow(type);
    if (!row) return fail(error, DIR_NOT_IMPLEMENTED);
    long parts;
    if (type == DIR_TYPE_NONE)
        parts = (mask & (DIR_MASK_MAIN | DIR_MASK_ACCESS)) | DIR_MASK_MAIN;
    else if (mask & DIR_MASK_FULL)
        parts = row->full | (mask & DIR_MASK_PARENTS);
    else if (mask & DIR_MASK_TYPE_DATA)
        parts = (mask & ~row->drop) | row->data;
    else
        parts = mask & ~row->drop;
    // Generic items' data is not stored: nothing to read.
    parts &= ~long(DIR_MASK_GENERIC | DIR_MASK_TYPE_DATA | DIR_MASK_FULL);
    NmObject object(store_);
    if (long e = object.open(record.address.get())) return fail(error, e);
    copyHeader(object.header(), record);
    if (record.base.objectType != type) return fail(error, DIR_WRONG_TYPE);
    if (long e = readParts(parts, object, record)) return fail(error, e);
    return true;
}

bool DIRDirectory::getFullNode(DIRCommonInfo& record, long& error) {
    return getNode(DIR_MASK_FULL, record, error);
}
bool DIRDirectory::getAccessRightsList(DIRCommonInfo& record, long& error) {
    return getNode(DIR_MASK_ACCESS, record, error);
}
bool DIRDirectory::getParentsList(DIRCommonInfo& record, long& error) {
    return getNode(DIR_MASK_PARENTS, record, error);
}
bool DIRDirectory::getSubscriberList(DIRCommonInfo& record, long& error) {
    return getNode(DIR_MASK_SUBSCRIBERS, record, error);
}

bool DIRDirectory::updateNode(long mask, DIRCommonInfo& record,
                              std::unique_ptr<DIRCommonInfo>& current, long& error) {
    return raced(error, [&](long& error) {
        current.reset();
        long type = record.base.objectType;
        if (!creatable(type)) return fail(error, DIR_NOT_IMPLEMENTED);
        NmObject object(store_);
        if (long e = object.open(record.address.get())) return fail(error, e);
        if (long e = object.claim()) return fail(error, e);
        if (object.modified() != record.base.modified) {
            if (type == DIR_TYPE_GENERIC) return fail(error, DIR_NOT_IMPLEMENTED);
            if (long e = readWhole(object, current)) return fail(error, e);
            return fail(error, DIR_ITEM_CHANGED);
        }
        auto* folder = dynamic_cast<DIRFolder*>(&record);
        long e = DIR_OK;
        if (mask & DIR_MASK_MAIN) {
            DIRCommonInfo header;
            copyHeader(record, header);
            header.base.modified = object.modified();
            object.setHeader(header);
        }
        if (!e && (mask & DIR_MASK_ACCESS)) e = object.putAccessRights(record.accessRights);
        if (!e && (mask & DIR_MASK_PARENTS)) e = object.putParents(record.parents);
        if (!e && folder && (mask & DIR_MASK_SUBSCRIBERS)) e = object.putTypeData(record);
        if (!e && folder && (mask & DIR_MASK_CONTENTS))
            e = object.putRefs(kCatContents, folder->contents);
        if (!e && !folder && (mask & DIR_MASK_TYPE_DATA)) e = object.putTypeData(record);
        if (e) return fail(error, e);
        object.touch();
        if (long c = object.commit()) return fail(error, c);
        record.base.modified = object.modified();
        return true;
    });
}

bool DIRDirectory::updateAccessRightsList(DIRCommonInfo& record,
                                          std::unique_ptr<DIRCommonInfo>& current, long& error) {
    return updateNode(DIR_MASK_ACCESS, record, current, error);
}
bool DIRDirectory::updateParentsList(DIRCommonInfo& record, std::unique_ptr<DIRCommonInfo>& current,
                                     long& error) {
    return updateNode(DIR_MASK_PARENTS, record, current, error);
}
bool DIRDirectory::updateSubscriberList(DIRCommonInfo& record,
                                        std::unique_ptr<DIRCommonInfo>& current, long& error) {
    return updateNode(DIR_MASK_SUBSCRIBERS, record, current, error);
}

bool DIRDirectory::createNode(DIRCommonInfo& record, long& error) {
    std::string user, holder;
    if (!getLoginUserName(user, error)) return false;
    if (record.base.shared ? !getLoginGroupName(holder, error) : !(holder = user, true))
        return false;
    long type = record.base.objectType;
    if (!creatable(type)) return fail(error, DIR_NOT_IMPLEMENTED);
    DIRTime now = DIRCurrentTime();
    std::unique_ptr<DIRNmDirectoryAddress> address;
    if (long e = allocateObjectAddress(store_, holder, record.base.shared != 0, now, address))
        return fail(error, e);
    NmObject object(store_);
    if (long e = object.open(address.get())) return fail(error, e);
    long e = DIR_OK;
    if (auto* folder = dynamic_cast<DIRFolder*>(&record)) {
        if (!folder->subscribers.empty()) e = object.putTypeData(record);
        if (!e && !folder->contents.empty()) e = object.putRefs(kCatContents, folder->contents);
    } else if (type != DIR_TYPE_GENERIC) {
        e = object.putTypeData(record);
    }
    if (!e && type != DIR_TYPE_ACTION && !record.parents.empty())
        e = object.putParents(record.parents);
    if (!e && !record.accessRights.empty()) e = object.putAccessRights(record.accessRights);
    if (e) return fail(error, e);
    DIRCommonInfo header;
    copyHeader(record, header);
    header.base.created = now;
    header.base.modified = 0;
    header.creator = user;
    object.setHeader(header);
    if (long c = object.commit()) return fail(error, c);
    record.address.reset(address.release());
    record.creator = user;
    record.base.created = object.header().base.created;
    record.base.modified = object.modified();
    return true;
}

bool DIRDirectory::destroyNode(const DIRDirectoryAddress* address, long& error) {
    NmObject object(store_);
    if (long e = object.open(address)) return fail(error, e);
    // Claimed, so that no update of the object lands after its deletion.
    if (long e = object.claim()) return fail(error, e);
    if (long e = deleteObjectStorage(store_, object.holder(), object.number()))
        return fail(error, e);
    object.forgetClaim(); // the freed number got the free list's ticket
    return true;
}

bool DIRDirectory::getDateLastModified(const DIRDirectoryAddress& address, DIRTime& modified,
                                       long& error) {
    NmObject object(store_);
    if (long e = object.open(&address)) return fail(error, e);
    modified = object.modified();
    return true;
}

bool DIRDirectory::updateReference(DIRFolder& folder, const DIRCommonInfo& object, int& updated,
                                   long& error) {
    updated = 0;
    if (error != 0) return false;
    std::string key = keyOf(object.address.get());
    if (key.empty()) return fail(error, DIR_KEY_NOT_FOUND);
    bool changed = false;
    for (DIRRefInfo& entry : folder.contents) {
        if (keyOf(entry.address.get()) != key) continue;
        if (entry.objectType != object.base.objectType) return fail(error, DIR_ITEM_CHANGED);
        entry.name = object.name;
        entry.refText = object.description;
        changed = true;
    }
    if (!changed) return true;
    std::unique_ptr<DIRCommonInfo> current;
    if (!updateNode(DIR_MASK_CONTENTS, folder, current, error)) return false;
    updated = 1;
    return true;
}

bool DIRDirectory::updateReference(const DIRDirectoryAddress* folderAddress,
                                   const DIRCommonInfo& object, int& updated, long& error) {
    updated = 0;
    if (error != 0) return false;
    DIRFolder folder;
    if (!folderAddress) return fail(error, DIR_ADDRESS_UNSET);
    folder.address.reset(folderAddress->clone());
    folder.base.objectType = DIR_TYPE_FOLDER;
    if (!getNode(DIR_MASK_MAIN | DIR_MASK_TYPE_DATA, folder, error)) return false;
    return updateReference(folder, object, updated, error);
}

bool DIRDirectory::updateReference(const DIRDirectoryAddress* folderAddress,
                                   const DIRDirectoryAddress* objectAddress, int& updated,
                                   long& error) {
    updated = 0;
    if (error != 0) return false;
    // The object's main record whatever its type: a record of type 0 read
    // through getNode would accept only objects stored with type 0.
    NmObject stored(store_);
    if (long e = stored.open(objectAddress)) return fail(error, e);
    DIRCommonInfo object = stored.header();
    object.address.reset(stored.address().clone());
    return updateReference(folderAddress, object, updated, error);
}
