// DIRDirectory: the links between objects (a folder's contents, an object's
// parents), the default folder and the new-folders lists.
#include <algorithm>
#include <functional>

#include "namedir/directory.h"
#include "namedir/errors.h"
#include "namedir/layout.h"
#include "nmobject.h"
#include "outcome.h"

using namespace namedir;
using namespace namedir::layout;

namespace {

// The new-folders list of `user` (its name made canonical by the directory).
long newFoldersAddress(const std::string& user, DIRAddressPtr& out) {
    auto a = std::make_unique<DIRNmDirectoryAddress>(user, kCatMain, long(kUserNewFolders), 0);
    long error = 0;
    if (!a->validateNMDirAddress(error, false)) return error;
    out.reset(a.release());
    return DIR_OK;
}

// Changes the parents list of the object at `address` under its claim.
bool editParents(AttrStore& store, const DIRDirectoryAddress* address, long& error,
                 const std::function<void(std::vector<DIRParentInfo>&)>& edit) {
    return raced(error, [&](long& error) {
        NmObject object(store);
        if (long e = object.open(address)) return fail(error, e);
        if (long e = object.claim()) return fail(error, e);
        std::vector<DIRParentInfo> parents;
        if (long e = object.getParents(parents)) return fail(error, e);
        edit(parents);
        if (long e = object.putParents(parents)) return fail(error, e);
        object.touch();
        if (long e = object.commit()) return fail(error, e);
        return true;
    });
}

} // namespace

bool DIRDirectory::addNodeToFolder(stNewItemRefEntry& item, stNewParentListEntry& parent,
                                   std::unique_ptr<DIRCommonInfo>& current, long& error,
                                   bool linkBack, bool checkChanges) {
    return raced(error, [&](long& error) {
        current.reset();
        NmObject object(store_), folder(store_);
        if (long e = object.open(item.address.get())) return fail(error, e);
        if (long e = folder.open(parent.address.get())) return fail(error, e);
        if (long e = linkBack ? claimBoth(folder, object) : folder.claim()) return fail(error, e);
        if (checkChanges && folder.modified() != parent.modified) {
            if (long e = readWhole(folder, current)) return fail(error, e);
            return fail(error, DIR_PARENT_CHANGED);
        }
        if (linkBack && checkChanges && object.modified() != item.modified) {
            if (long e = readWhole(object, current)) return fail(error, e);
            return fail(error, DIR_ITEM_CHANGED);
        }
        std::vector<DIRRefInfo> contents;
        if (long e = folder.getRefs(kCatContents, contents)) return fail(error, e);
        removeKey(contents, object.address().uniqueKey);
        contents.push_back(refEntryOf(item));
        if (long e = folder.putRefs(kCatContents, contents)) return fail(error, e);
        if (linkBack) {
            std::vector<DIRParentInfo> parents;
            if (long e = object.getParents(parents)) return fail(error, e);
            parents.push_back({DIRAddressPtr(folder.address().clone()), parent.flags});
            if (long e = object.putParents(parents)) return fail(error, e);
            object.touch();
        }
        if (folder.header().base.objectType == DIR_TYPE_NONE) {
            // A list whose main record is missing becomes a folder.
            DIRCommonInfo header = folder.header();
            header.base.objectType = DIR_TYPE_FOLDER;
            if (header.base.created == 0) header.base.created = DIRCurrentTime();
            if (!folder.exists()) header.longText.clear();
            folder.setHeader(header);
        }
        folder.touch();
        if (long e = folder.commit()) return fail(error, e);
        parent.modified = folder.modified();
        if (linkBack) {
            if (long e = object.commit()) return fail(error, e);
            item.modified = object.modified();
        }
        return true;
    });
}

bool DIRDirectory::removeNodeFromFolder(const DIRDirectoryAddress* item,
                                        const DIRDirectoryAddress* folderAddress,
                                        DIRTime& itemModified, DIRTime& folderModified, long& error,
                                        bool unlinkBack) {
    return raced(error, [&](long& error) {
        NmObject object(store_), folder(store_);
        long e = object.open(item);
        if (e == DIR_ATTR_MISSING)
            unlinkBack = false;
        else if (e)
            return fail(error, e);
        if (long f = folder.open(folderAddress)) return fail(error, f);
        if (long f = unlinkBack ? claimBoth(folder, object) : folder.claim()) return fail(error, f);
        std::string key = keyOf(item);
        std::vector<DIRRefInfo> contents;
        if (long f = folder.getRefs(kCatContents, contents)) return fail(error, f);
        removeKey(contents, key);
        if (long f = folder.putRefs(kCatContents, contents)) return fail(error, f);
        if (unlinkBack) {
            std::vector<DIRParentInfo> parents;
            if (long f = object.getParents(parents)) return fail(error, f);
            removeKey(parents, folder.address().uniqueKey);
            if (long f = object.putParents(parents)) return fail(error, f);
            object.touch();
        }
        folder.touch();
        if (long f = folder.commit()) return fail(error, f);
        folderModified = folder.modified();
        if (unlinkBack) {
            if (long f = object.commit()) return fail(error, f);
            itemModified = object.modified();
        }
        return true;
    });
}

bool DIRDirectory::addParentToNode(const DIRParentInfo& parent, const DIRDirectoryAddress* address,
                                   long& error) {
    return editParents(store_, address, error,
                       [&](std::vector<DIRParentInfo>& parents) { parents.push_back(parent); });
}

bool DIRDirectory::removeParentFromNode(const DIRParentInfo& parent,
                                        const DIRDirectoryAddress* address, long& error) {
    return editParents(store_, address, error, [&](std::vector<DIRParentInfo>& parents) {
        removeKey(parents, keyOf(parent.address.get()));
    });
}

bool DIRDirectory::getDefaultFolder(DIRFolder& folder, long& error) {
    std::string user;
    if (!getLoginUserName(user, error)) return false;
    NmObject root(store_);
    if (long e = root.open(user, kUserRoot)) return fail(error, e);
    std::vector<DIRRefInfo> contents;
    if (long e = root.getRefs(kCatContents, contents)) return fail(error, e);
    if (contents.empty() || !contents[0].address) return fail(error, DIR_DEFAULT_FOLDER_MISSING);
    folder.address = contents[0].address;
    folder.base.objectType = DIR_TYPE_FOLDER;
    return getNode(DIR_MASK_MAIN | DIR_MASK_TYPE_DATA, folder, error);
}

bool DIRDirectory::getNewFoldersList(const std::string& user, DIRFolder& folder, long& error) {
    DIRAddressPtr address;
    if (long e = newFoldersAddress(user, address)) return fail(error, e);
    folder.address = std::move(address);
    folder.base.objectType = DIR_TYPE_FOLDER;
    long e = 0;
    if (getNode(DIR_MASK_TYPE_DATA, folder, e)) return true;
    // Not created yet: an empty list.
    if (e == DIR_ATTR_MISSING || (e == DIR_WRONG_TYPE && folder.base.objectType == 0)) {
        folder.base.objectType = DIR_TYPE_FOLDER;
        folder.contents.clear();
        return true;
    }
    return fail(error, e);
}

bool DIRDirectory::addNodeToNewFoldersList(stNewItemRefEntry& item, const std::string& user,
                                           long& error) {
    long e = 0;
    if (!isPathwendUser(user, e) && e == DIR_NOT_DESKTOP_USER) return fail(error, e);
    stNewParentListEntry parent;
    if (long a = newFoldersAddress(user, parent.address)) return fail(error, a);
    parent.flags = 1;
    std::unique_ptr<DIRCommonInfo> current;
    return addNodeToFolder(item, parent, current, error, false, false);
}

bool DIRDirectory::removeNodeFromNewFoldersList(const DIRDirectoryAddress* item,
                                                const std::string& user, long& error) {
    DIRFolder folder;
    if (!getNewFoldersList(user, folder, error)) return false;
    DIRTime itemModified = 0, folderModified = 0;
    return removeNodeFromFolder(item, folder.address.get(), itemModified, folderModified, error,
                                false);
}
