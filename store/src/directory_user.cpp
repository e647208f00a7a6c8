// DIRDirectory: the business card, the preferences and the creation of a new
// user's desktop.
#include "namedir/codecs.h"
#include "namedir/directory.h"
#include "namedir/errors.h"
#include "namedir/freelist.h"
#include "namedir/layout.h"
#include "namedir/qrdapi_wrapper.h"
#include "nmobject.h"
#include "outcome.h"

using namespace namedir;
using namespace namedir::layout;

bool DIRDirectory::buildBCardNmDirAddr(DIRAddressPtr& cardAddress, const std::string& user,
                                       long& error) {
    cardAddress.reset();
    auto a = std::make_unique<DIRNmDirectoryAddress>(user, kCatFixed, long(kUserBusinessCard), 0);
    long ignored = 0;
    if (!a->validateNMDirAddress(ignored, false)) return done(error, DIR_CARD_ADDRESS);
    cardAddress.reset(a.release());
    return true;
}

bool DIRDirectory::getBusinessCardInfo(const std::string& user, DIRUserBusinessCard& card,
                                       DIRAddressPtr& cardAddress, long& error) {
    if (user.empty()) return done(error, DIR_USER_NAME_UNSET);
    DIRAddressPtr address;
    if (!buildBCardNmDirAddr(address, user, error)) return false;
    AttrStream s(address.nm()->nmName, kCatFixed, kUserBusinessCard);
    long e = s.read(store_);
    if (!e) e = decodeBusinessCard(s, card);
    if (e) return done(error, e);
    cardAddress = std::move(address);
    return true;
}

bool DIRDirectory::setBusinessCardInfo(const DIRUserBusinessCard& card, long& error) {
    std::string user;
    if (!getLoginUserName(user, error)) return false;
    AttrStream s(user, kCatFixed, kUserBusinessCard);
    long e = s.readForRewrite(store_);
    if (!e) e = encodeBusinessCard(card, s);
    if (!e) e = s.write(store_);
    return done(error, e);
}

bool DIRDirectory::isPathwendUser(const std::string& user, long& error) {
    if (user.empty()) return done(error, DIR_USER_NAME_UNSET);
    std::string holder = user;
    if (CQrdApi::formatName(holder) != 0) return done(error, DIR_NAME_UNRESOLVED);
    AttrStream s(holder, kCatFixed, kUserBusinessCard);
    long e = s.read(store_);
    return done(error, e == DIR_ATTR_MISSING ? long(DIR_NOT_DESKTOP_USER) : e);
}

bool DIRDirectory::getPreferencesInfo(DIRPreferencesInfo& prefs, long& error) {
    std::string user;
    if (!getLoginUserName(user, error)) return false;
    AttrStream s(user, kCatFixed, kUserPreferences);
    std::string second;
    long e = s.read(store_);
    if (!e) e = decodePreferences(s, prefs.value, prefs.text, second);
    return done(error, e);
}

bool DIRDirectory::setPreferencesInfo(const DIRPreferencesInfo& prefs, long& error) {
    std::string user;
    if (!getLoginUserName(user, error)) return false;
    AttrStream s(user, kCatFixed, kUserPreferences);
    long e = s.readForRewrite(store_);
    if (!e) e = encodePreferences(prefs.value, prefs.text, "", s);
    if (!e) e = s.write(store_);
    return done(error, e);
}

bool DIRDirectory::createPathwendEnvironment(const std::string& folderName,
                                             const DIRUserBusinessCard& card,
                                             DIRAddressPtr& cardAddress, long& error) {
    return raced(error, [&](long& error) {
        std::string user;
        if (!getLoginUserName(user, error)) return false;
        NmObject root(store_), folder(store_), inbox(store_);
        if (long e = root.open(user, kUserRoot)) return done(error, e);
        if (root.modified() != 0) return done(error, DIR_DESKTOP_EXISTS);
        DIRTime now = DIRCurrentTime();
        std::unique_ptr<DIRNmDirectoryAddress> folderAddress;
        if (long e = allocateObjectAddress(store_, user, false, now, folderAddress))
            return done(error, e);
        if (long e = folder.open(folderAddress.get())) return done(error, e);
        if (long e = inbox.open(user, kUserNewFolders)) return done(error, e);

        struct Header {
            NmObject& object;
            long type;
            std::string name;
        };
        for (const Header& h :
             {Header{root, DIR_TYPE_ROOT, ""}, Header{folder, DIR_TYPE_FOLDER, folderName},
              Header{inbox, DIR_TYPE_FOLDER, ""}}) {
            DIRCommonInfo r;
            r.base.objectType = h.type;
            r.base.created = now;
            r.creator = user;
            r.name = h.name;
            h.object.setHeader(r);
        }
        DIRRefInfo entry;
        entry.address.reset(folderAddress->clone());
        entry.name = user;
        entry.objectType = DIR_TYPE_FOLDER;
        entry.time = now;
        if (long e = root.putRefs(kCatContents, {entry})) return done(error, e);
        AttrStream s(user, kCatFixed, kUserBusinessCard);
        long e = s.readForRewrite(store_);
        if (!e) e = encodeBusinessCard(card, s);
        if (!e) e = s.write(store_);
        if (!e) e = root.commit();
        if (!e) e = folder.commit();
        if (!e) e = inbox.commit();
        if (e) return done(error, e);
        return buildBCardNmDirAddr(cardAddress, user, error);
    });
}
