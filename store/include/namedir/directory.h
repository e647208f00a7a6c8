// DIRDirectory: the store's facade, through which the desktop reads and
// writes its objects. Every operation returns true on success and otherwise
// false with a store error code (namedir/errors.h) in its last argument.
//
// The object keeps no state between calls besides the cached login names:
// every operation opens the attributes it needs and writes what it changed
// before it returns. Updates are guarded by the object's stored modification
// time (118 / 119 with the current object for the caller to merge).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "namedir/address.h"
#include "namedir/attrstream.h"
#include "namedir/export.h"
#include "namedir/records.h"

// Read and write masks of getNode and updateNode.
enum DIRMask : long {
    DIR_MASK_MAIN = 0x0001,
    DIR_MASK_ACCESS = 0x0002,
    DIR_MASK_PARENTS = 0x0004,
    DIR_MASK_SUBSCRIBERS = 0x0008,
    DIR_MASK_TYPE_DATA = 0x0020,
    DIR_MASK_FULL = 0x0040,
    DIR_MASK_CONTENTS = 0x0080,
    DIR_MASK_URL = 0x0100,
    DIR_MASK_DOC_TEXTS = 0x0E00,
    DIR_MASK_GENERIC = 0x1000,
    DIR_MASK_ACTION = 0x2000,
};

namespace namedir {
class NmObject;
}

class NAMEDIR_EXPORT DIRDirectory {
  public:
    // Attributes go through `store` (the client API's by default).
    explicit DIRDirectory(namedir::AttrStore& store = namedir::clientAttrStore());
    virtual ~DIRDirectory();
    DIRDirectory(const DIRDirectory&) = delete;
    DIRDirectory& operator=(const DIRDirectory&) = delete;

    // ---- Records and addresses -----------------------------------------
    void initBaseInfo(DIRBaseInfo& base);
    void initBaseInfo(DIRCommonInfo& record); // also empties the five texts
    // Turns a unique key back into an address (owned by the caller) and
    // reads the object's type (a missing object is 0). 39 for a bad key,
    // 109 for a name the directory cannot resolve.
    bool getDirectoryAddress(const std::string& key, DIRAddressPtr& address, long& objectType,
                             long& error);

    // ---- Login names (cached on first use; 124 when nobody is logged in)
    bool getLoginUserName(std::string& name, long& error);
    bool getLoginGroupName(std::string& name, long& error);

    // ---- Nodes (directory_nodes.cpp) -----------------------------------
    // Reads the parts `mask` selects (settled by the record's type); 121
    // when the stored type differs from the record's.
    bool getNode(long mask, DIRCommonInfo& record, long& error);
    bool getFullNode(DIRCommonInfo& record, long& error);
    bool getAccessRightsList(DIRCommonInfo& record, long& error);
    bool getParentsList(DIRCommonInfo& record, long& error);
    bool getSubscriberList(DIRCommonInfo& record, long& error);
    // Writes the parts `mask` selects when the stored modification time is
    // the record's; otherwise 118 and the stored object in `current`.
    bool updateNode(long mask, DIRCommonInfo& record, std::unique_ptr<DIRCommonInfo>& current,
                    long& error);
    bool updateAccessRightsList(DIRCommonInfo& record, std::unique_ptr<DIRCommonInfo>& current,
                                long& error);
    bool updateParentsList(DIRCommonInfo& record, std::unique_ptr<DIRCommonInfo>& current,
                           long& error);
    bool updateSubscriberList(DIRCommonInfo& record, std::unique_ptr<DIRCommonInfo>& current,
                              long& error);
    // A new object on the login user (or, `shared`, the login group); the
    // record receives its address, `created` and `modified`.
    bool createNode(DIRCommonInfo& record, long& error);
    bool destroyNode(const DIRDirectoryAddress* address, long& error);
    bool getDateLastModified(const DIRDirectoryAddress& address, DIRTime& modified, long& error);
    // Copies the object's name and description into the folder's entry for
    // it and writes the contents (subject to the folder's change check).
    bool updateReference(DIRFolder& folder, const DIRCommonInfo& object, int& updated, long& error);
    bool updateReference(const DIRDirectoryAddress* folderAddress, const DIRCommonInfo& object,
                         int& updated, long& error);
    bool updateReference(const DIRDirectoryAddress* folderAddress,
                         const DIRDirectoryAddress* objectAddress, int& updated, long& error);

    // ---- Folders and sharing (directory_folders.cpp) --------------------
    // Adds (or moves to the end) the item's entry in the folder; with
    // `linkBack` the folder also joins the item's parents. 119 / 118 with
    // `checkChanges` when the folder / item changed since the caller read it.
    bool addNodeToFolder(stNewItemRefEntry& item, stNewParentListEntry& parent,
                         std::unique_ptr<DIRCommonInfo>& current, long& error, bool linkBack,
                         bool checkChanges);
    bool removeNodeFromFolder(const DIRDirectoryAddress* item, const DIRDirectoryAddress* folder,
                              DIRTime& itemModified, DIRTime& folderModified, long& error,
                              bool unlinkBack);
    bool addParentToNode(const DIRParentInfo& parent, const DIRDirectoryAddress* object,
                         long& error);
    bool removeParentFromNode(const DIRParentInfo& parent, const DIRDirectoryAddress* object,
                              long& error);
    bool getDefaultFolder(DIRFolder& folder, long& error);
    bool getNewFoldersList(const std::string& user, DIRFolder& folder, long& error);
    bool addNodeToNewFoldersList(stNewItemRefEntry& item, const std::string& user, long& error);
    bool removeNodeFromNewFoldersList(const DIRDirectoryAddress* item, const std::string& user,
                                      long& error);

    // ---- Actions (directory_actions.cpp) ---------------------------------
    // Adding replaces every entry with the same key and appends at the end.
    bool addActionToLibrary(stNewItemRefEntry& entry, long& error);
    bool updateActionInLibrary(stNewItemRefEntry& entry, long& error);
    bool removeActionFromLibrary(const DIRDirectoryAddress* action, long& error);
    // The shared library's entries, then the personal library's.
    bool getActionLibrary(std::vector<DIRRefInfo>& list, long& error);
    bool addActionToToolbar(stNewItemRefEntry& entry, long& error);
    bool updateActionInToolbar(stNewItemRefEntry& entry, long& error);
    bool removeActionFromToolbar(const DIRDirectoryAddress* action, long& error);
    bool getActionToolbar(std::vector<DIRRefInfo>& list, long& error);
    bool setActionToolbar(const std::vector<DIRRefInfo>& list, long& error);

    // ---- The user (directory_user.cpp) -----------------------------------
    bool getBusinessCardInfo(const std::string& user, DIRUserBusinessCard& card,
                             DIRAddressPtr& cardAddress, long& error);
    bool setBusinessCardInfo(const DIRUserBusinessCard& card, long& error);
    bool buildBCardNmDirAddr(DIRAddressPtr& cardAddress, const std::string& user, long& error);
    // False with 128 when `user` has no business card.
    bool isPathwendUser(const std::string& user, long& error);
    bool getPreferencesInfo(DIRPreferencesInfo& prefs, long& error);
    bool setPreferencesInfo(const DIRPreferencesInfo& prefs, long& error);
    // The login user's root object, default folder, new-folders list and
    // card; 120 when the root already exists.
    bool createPathwendEnvironment(const std::string& folderName, const DIRUserBusinessCard& card,
                                   DIRAddressPtr& cardAddress, long& error);

  protected:
    namedir::AttrStore& store_;

  private:
    // A new record of `type` at a copy of `address`, read whole.
    long readWhole(const namedir::NmObject& object, std::unique_ptr<DIRCommonInfo>& out);
    long readParts(long mask, namedir::NmObject& object, DIRCommonInfo& record);
    long addToList(uint32_t number, bool group, const DIRRefInfo& entry);
    long removeFromList(uint32_t number, bool group, const std::string& key);

    std::mutex loginLock_;
    std::string loginUser_;  // guarded by loginLock_
    std::string loginGroup_; // guarded by loginLock_
};
