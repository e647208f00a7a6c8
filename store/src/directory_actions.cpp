// DIRDirectory: the action libraries (shared on the login group, personal on
// the login user) and the user's action toolbar: category-54 reference lists
// of fixed holder objects.
#include <algorithm>

#include "namedir/directory.h"
#include "namedir/errors.h"
#include "namedir/layout.h"
#include "nmobject.h"
#include "outcome.h"

using namespace namedir;
using namespace namedir::layout;

// The list of the fixed object `number` on the login group (`group`) or user.
long DIRDirectory::addToList(uint32_t number, bool group, const DIRRefInfo& entry) {
    std::string holder;
    long error = 0;
    if (!(group ? getLoginGroupName(holder, error) : getLoginUserName(holder, error))) return error;
    if (!entry.address.nm()) return DIR_ADDRESS_UNSET;
    return racedCode([&]() -> long {
        NmObject object(store_);
        if (long e = object.open(holder, number)) return e;
        std::vector<DIRRefInfo> list;
        if (long e = object.getRefs(kCatActionList, list)) return e;
        removeKey(list, entry.address->uniqueKey);
        list.push_back(refEntryOf(entry));
        if (long e = object.putRefs(kCatActionList, list)) return e;
        return object.commit();
    });
}

long DIRDirectory::removeFromList(uint32_t number, bool group, const std::string& key) {
    std::string holder;
    long error = 0;
    if (!(group ? getLoginGroupName(holder, error) : getLoginUserName(holder, error))) return error;
    return racedCode([&]() -> long {
        NmObject object(store_);
        if (long e = object.open(holder, number)) return e;
        std::vector<DIRRefInfo> list;
        if (long e = object.getRefs(kCatActionList, list)) return e;
        if (removeKey(list, key) == 0) return DIR_OK; // nothing to write
        if (long e = object.putRefs(kCatActionList, list)) return e;
        return object.commit();
    });
}

bool DIRDirectory::addActionToLibrary(stNewItemRefEntry& entry, long& error) {
    bool shared = entry.shared != 0;
    return done(error, addToList(shared ? kGroupActionLibrary : kUserActionLibrary, shared, entry));
}

bool DIRDirectory::updateActionInLibrary(stNewItemRefEntry& entry, long& error) {
    return addActionToLibrary(entry, error);
}

bool DIRDirectory::removeActionFromLibrary(const DIRDirectoryAddress* action, long& error) {
    if (!action) return done(error, DIR_ADDRESS_UNSET);
    if (!done(error, removeFromList(kGroupActionLibrary, true, action->uniqueKey))) return false;
    return done(error, removeFromList(kUserActionLibrary, false, action->uniqueKey));
}

bool DIRDirectory::getActionLibrary(std::vector<DIRRefInfo>& list, long& error) {
    std::string user, group;
    if (!getLoginUserName(user, error) || !getLoginGroupName(group, error)) return false;
    std::vector<DIRRefInfo> shared, personal;
    NmObject library(store_);
    long e = library.open(group, kGroupActionLibrary);
    if (!e) e = library.getRefs(kCatActionList, shared);
    if (e) return done(error, e);
    NmObject mine(store_);
    e = mine.open(user, kUserActionLibrary);
    if (!e) e = mine.getRefs(kCatActionList, personal);
    if (e) return done(error, e);
    list = std::move(shared);
    for (DIRRefInfo& r : personal)
        list.push_back(std::move(r));
    return true;
}

bool DIRDirectory::addActionToToolbar(stNewItemRefEntry& entry, long& error) {
    return done(error, addToList(kUserRoot, false, entry));
}

bool DIRDirectory::updateActionInToolbar(stNewItemRefEntry& entry, long& error) {
    return addActionToToolbar(entry, error);
}

bool DIRDirectory::removeActionFromToolbar(const DIRDirectoryAddress* action, long& error) {
    if (!action) return done(error, DIR_ADDRESS_UNSET);
    return done(error, removeFromList(kUserRoot, false, action->uniqueKey));
}

bool DIRDirectory::getActionToolbar(std::vector<DIRRefInfo>& list, long& error) {
    std::string user;
    if (!getLoginUserName(user, error)) return false;
    NmObject root(store_);
    long e = root.open(user, kUserRoot);
    if (!e) e = root.getRefs(kCatActionList, list);
    return done(error, e);
}

bool DIRDirectory::setActionToolbar(const std::vector<DIRRefInfo>& list, long& error) {
    return raced(error, [&](long& error) {
        std::string user;
        if (!getLoginUserName(user, error)) return false;
        NmObject root(store_);
        long e = root.open(user, kUserRoot);
        if (!e) e = root.putRefs(kCatActionList, list);
        if (!e) e = root.commit();
        return done(error, e);
    });
}
