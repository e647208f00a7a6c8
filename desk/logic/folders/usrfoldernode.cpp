#include "folders/usrfoldernode.h"

#include <algorithm>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "core/membership.h"
#include "core/prompter.h"
#include "folders/recipients.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}

const DIRFolder* asFolder(const DIRCommonInfo& r) {
    return dynamic_cast<const DIRFolder*>(&r);
}
} // namespace

std::unique_ptr<USRNode> USRMakeFolderNode(USRContext& context) {
    return std::make_unique<USRFolderNode>(context);
}

USRFolderNode::USRFolderNode(USRContext& context) : USRContainerNode(context, DIR_TYPE_FOLDER) {}

// ---- Records ----------------------------------------------------------------

void USRFolderNode::takeRecord(const DIRCommonInfo& record) {
    const DIRFolder* folder = asFolder(record);
    if (!folder) return;
    std::vector<USRChild> children;
    for (const DIRRefInfo& ref : folder->contents) {
        if (!ref.address) continue;
        children.push_back({ref.address->uniqueKey, USRAddress(*ref.address), ref.name,
                            ref.objectType, ref.shared, ref.refText});
    }
    setChildren(std::move(children));
    containerData().subscribers.clear();
    for (const DIRSubscriber& s : folder->subscribers)
        containerData().subscribers.push_back(s.name);
    subscribersAdded_.clear();
    subscribersRemoved_.clear();
    freshRead_ = true;
}

void USRFolderNode::fillRecord(DIRCommonInfo& record) const {
    auto* folder = dynamic_cast<DIRFolder*>(&record);
    if (!folder) return;
    folder->subscribers.clear();
    for (const std::string& s : containerData().subscribers)
        folder->subscribers.push_back({3, s});
}

void USRFolderNode::mergeInto(DIRCommonInfo& stored) const {
    auto* folder = dynamic_cast<DIRFolder*>(&stored);
    std::vector<DIRSubscriber> theirs;
    if (folder) theirs = folder->subscribers;
    USRNode::mergeInto(stored);
    if (!folder) return;
    folder->subscribers = std::move(theirs);
    if (!isChanged(CHANGED_SUBSCRIBERS)) return;
    // The other workstation's list, with this one's additions and removals.
    auto& list = folder->subscribers;
    for (const std::string& gone : subscribersRemoved_)
        list.erase(
            std::remove_if(list.begin(), list.end(),
                           [&](const DIRSubscriber& s) { return USRSameName(s.name, gone); }),
            list.end());
    for (const std::string& added : subscribersAdded_)
        if (std::none_of(list.begin(), list.end(),
                         [&](const DIRSubscriber& s) { return USRSameName(s.name, added); }))
            list.push_back({3, added});
}

// ---- Read -------------------------------------------------------------------

bool USRFolderNode::read(long& error) {
    freshRead_ = false;
    if (!USRNode::read(error)) return false;
    if (!freshRead_) return true;
    // A member who reads a registered folder becomes its subscriber.
    USRNode* registered = nullptr;
    long e = 0;
    if (isDefaultFolder() || !context().folders().lookup(key(), registered, e) ||
        registered != this)
        return true;
    std::string user;
    long rights = 0;
    if (!context().loginName(user, e) || isSubscriber(user) || !myRights(rights, e)) return true;
    if (addSubscriber(user, e) && !write(e)) return fail(error, e);
    error = 0;
    return true;
}

bool USRFolderNode::edit(bool editable, bool) {
    QVariantMap v;
    v["creating"] = false;
    v["editable"] = editable;
    v["shared"] = isShared();
    v["name"] = QString::fromStdString(name());
    v["description"] = QString::fromStdString(data().description);
    v["notes"] = QString::fromStdString(data().longText);
    QVariantList rights;
    for (const USRAccessEntry& e : data().accessRights)
        rights.push_back(QVariantMap{{"name", QString::fromStdString(e.name)},
                                     {"role", int(e.role)},
                                     {"kind", int(e.kind)},
                                     {"mark", e.mark}});
    v["rights"] = rights;
    if (context().prompter().runDialog(USRDialog::FolderSheet, v) != USR_REPLY_OK || !editable)
        return false;
    setName(v["name"].toString().toStdString());
    setDescription(v["description"].toString().toStdString());
    std::string notes = v["notes"].toString().toStdString();
    if (notes != data().longText) {
        data().longText = notes;
        setChanged(CHANGED_FIELDS);
    }
    std::vector<USRAccessEntry> entries;
    for (const QVariant& row : v["rights"].toList()) {
        QVariantMap m = row.toMap();
        entries.push_back({m["name"].toString().toStdString(), m["kind"].toInt(), m["role"].toInt(),
                           m["mark"].toBool()});
    }
    bool same = entries.size() == data().accessRights.size() &&
                std::equal(entries.begin(), entries.end(), data().accessRights.begin(),
                           [](const USRAccessEntry& a, const USRAccessEntry& b) {
                               return a.name == b.name && a.role == b.role && a.mark == b.mark;
                           });
    if (!same) {
        data().accessRights = std::move(entries);
        data().myRights = -1;
        setChanged(CHANGED_RIGHTS);
    }
    return true;
}

// ---- Finding and creating ---------------------------------------------------

USRFolderNode* USRFolderNode::getDefaultFolder(USRContext& context, long& error) {
    DIRFolder record;
    long e = 0;
    if (!context.dir().getDefaultFolder(record, e)) return fail(error, e), nullptr;
    USRNode* found = nullptr;
    if (context.folders().lookup(record.address->uniqueKey, found, e)) {
        if (auto* folder = dynamic_cast<USRFolderNode*>(found)) {
            folder->markDefaultFolder();
            return folder;
        }
    }
    auto node = std::make_unique<USRFolderNode>(context);
    if (!node->setAddress(record.address.get(), e)) return fail(error, e), nullptr;
    node->markDefaultFolder();
    // The default folder was read without its rights and contents: the
    // next read takes the whole record.
    node->setName(record.name);
    node->setDirTime(record.base.modified);
    node->setModifiedTime(record.base.modified);
    node->clearChangeFlags();
    node->setReferencesChanged(false);
    USRFolderNode* raw = node.get();
    std::unique_ptr<USRNode> owned = std::move(node);
    if (!context.folders().add(owned, e)) return fail(error, e), nullptr;
    if (!raw->read(e)) return fail(error, e), nullptr;
    error = 0;
    return raw;
}

std::unique_ptr<USRFolderNode> USRFolderNode::create(USRContext& context, const std::string& name,
                                                     bool shared, long& error) {
    std::string user;
    long e = 0;
    if (!context.loginName(user, e)) return fail(error, e), nullptr;
    DIRFolder record;
    record.base.objectType = DIR_TYPE_FOLDER;
    record.base.shared = shared ? 1 : 0;
    record.name = name;
    record.creator = user;
    record.accessRights.push_back({USR_ROLE_MODERATOR, user});
    if (!context.dir().createNode(record, e)) return fail(error, e), nullptr;
    auto node = std::make_unique<USRFolderNode>(context);
    node->takeWhole(record);
    error = 0;
    return node;
}

// ---- Rights -----------------------------------------------------------------

bool USRFolderNode::myRights(long& rights, long& error) {
    rights = USR_ROLE_NONE;
    std::string user;
    if (!context().loginName(user, error)) return false;
    if (isDefaultFolder()) {
        rights = USR_ROLE_MODERATOR;
        return true;
    }
    // A personal folder is held by its owner's own object.
    auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address());
    if (!isShared() && nm && USRSameName(nm->nmName, user)) {
        rights = USR_ROLE_MODERATOR;
        error = 0;
        return true;
    }
    return data().computeMyRights(user, context().membership(), rights, error);
}

bool USRFolderNode::isModerator() {
    long r = 0, e = 0;
    return myRights(r, e) && r == USR_ROLE_MODERATOR;
}

bool USRFolderNode::mayChange() {
    long r = 0, e = 0;
    return myRights(r, e) && r >= USR_ROLE_CONTRIBUTOR;
}

bool USRFolderNode::mayRead() {
    long r = 0, e = 0;
    return myRights(r, e) && r > USR_ROLE_NONE;
}

bool USRFolderNode::setRole(const std::string& name, long role, long& error) {
    if (role < USR_ROLE_READER || role > USR_ROLE_MODERATOR) return fail(error, DIR_NOT_SUPPORTED);
    auto& list = data().accessRights;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const USRAccessEntry& e) { return USRSameName(e.name, name); });
    if (it == list.end())
        list.push_back({name, USR_KIND_UNKNOWN, role, true});
    else
        it->role = role;
    data().myRights = -1;
    setChanged(CHANGED_RIGHTS);
    error = 0;
    return true;
}

bool USRFolderNode::removeRight(const std::string& name, long& error) {
    auto& list = data().accessRights;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const USRAccessEntry& e) { return USRSameName(e.name, name); });
    if (it == list.end()) return fail(error, DIR_OBJECT_MISSING);
    list.erase(it);
    data().myRights = -1;
    setChanged(CHANGED_RIGHTS);
    error = 0;
    return true;
}

bool USRFolderNode::markForPublication(const std::string& name, long& error) {
    for (USRAccessEntry& e : data().accessRights)
        if (USRSameName(e.name, name)) {
            e.mark = true;
            error = 0;
            return true;
        }
    return fail(error, DIR_OBJECT_MISSING);
}

// ---- Linking ----------------------------------------------------------------

bool USRFolderNode::addNode(USRNode& node, long& error) {
    if (!node.key().empty() && node.key() == key()) return fail(error, DIR_FOLDER_INTO_ITSELF);
    long e = 0;
    if (!read(e)) return fail(error, e);
    if (hasChild(node.key())) return fail(error, DIR_ALREADY_EXISTS);
    std::string user;
    if (!context().loginName(user, e)) return fail(error, e);
    if (!addChild(node, e)) return fail(error, e);
    if (!node.addParent(*this, e)) {
        long ignored = 0;
        removeChild(node.key(), ignored);
        return fail(error, e);
    }
    // The store checks both times; a folder that changed meanwhile is read
    // again and the link tried once more.
    bool linked = false;
    for (int attempt = 0; attempt < 2 && !linked; ++attempt) {
        stNewItemRefEntry item = node.makeReference();
        stNewParentListEntry parent;
        parent.address.reset(address()->clone());
        parent.modified = dirTime();
        std::unique_ptr<DIRCommonInfo> current;
        e = 0;
        linked = context().dir().addNodeToFolder(item, parent, current, e, true, true);
        if (linked) {
            setDirTime(parent.modified);
            setModifiedTime(parent.modified);
            node.setDirTime(item.modified);
            node.setModifiedTime(item.modified);
        } else if (e == DIR_PARENT_CHANGED && current) {
            // Another workstation changed the folder: take its listing, then
            // the node joins it again.
            long ignored = 0;
            takeWhole(*current);
            addChild(node, ignored);
        } else if (e == DIR_ITEM_CHANGED && current) {
            node.takeWhole(*current);
        } else {
            break;
        }
    }
    node.clearChangeFlags();
    clearChangeFlags();
    if (!linked) {
        long ignored = 0;
        node.removeParent(key(), ignored);
        removeChild(node.key(), ignored);
        return fail(error, e);
    }
    if (addSubscriber(user, e) && !write(e)) return fail(error, e);
    if (auto* folder = dynamic_cast<USRFolderNode*>(&node)) {
        if (folder->addSubscriber(user, e) && !folder->write(e)) return fail(error, e);
    }
    error = 0;
    return true;
}

bool USRFolderNode::removeNode(USRNode& node, long& error) {
    long e = 0;
    DIRTime itemModified = 0, folderModified = 0;
    if (!read(e)) {
        if (e != DIR_OBJECT_MISSING) return fail(error, e);
        // The folder is gone: only its entry goes.
        long ignored = 0;
        removeChild(node.key(), ignored);
        context().dir().removeNodeFromFolder(node.address(), address(), itemModified,
                                             folderModified, ignored, true);
        error = 0;
        return true;
    }
    long ignored = 0;
    removeChild(node.key(), ignored);
    node.removeParent(key(), ignored);
    if (node.parentCount() == 0)
        node.markStale();
    else
        node.clearStale();
    auto* folder = dynamic_cast<USRFolderNode*>(&node);
    if (folder && node.parentCount() == 0) {
        std::string user;
        if (!context().loginName(user, e)) return fail(error, e);
        if (folder->removeSubscriber(user, e) && !folder->write(e) && e != DIR_OBJECT_MISSING)
            return fail(error, e);
    }
    clearChangeFlags();
    e = 0;
    if (!context().dir().removeNodeFromFolder(node.address(), address(), itemModified,
                                              folderModified, e, true))
        return fail(error, USRVanished(e));
    node.setDirTime(itemModified);
    node.setModifiedTime(itemModified);
    setDirTime(folderModified);
    setModifiedTime(folderModified);
    error = 0;
    return true;
}

bool USRFolderNode::deletePermanently(USRContext& context, USRNode& node, long& error) {
    if (!node.address()) return fail(error, DIR_ADDRESS_UNSET);
    std::unique_ptr<DIRCommonInfo> record = USRNewRecord(node.objectType());
    record->address.reset(node.address()->clone());
    long e = 0;
    if (!context.dir().getNode(DIR_MASK_PARENTS, *record, e)) return fail(error, USRVanished(e));
    std::string user, group;
    if (!context.loginName(user, e) || !context.dir().getLoginGroupName(group, e))
        return fail(error, e);
    for (const DIRParentInfo& parent : record->parents) {
        if (!parent.address) continue;
        DIRTime itemModified = 0, folderModified = 0;
        e = 0;
        // A parent on another user's object cannot be written by this user:
        // that desktop drops the entry when it finds the object gone.
        const DIRNmDirectoryAddress* holder = parent.address.nm();
        if (holder && !USRSameName(holder->nmName, user) && !USRSameName(holder->nmName, group))
            continue;
        if (!context.dir().removeNodeFromFolder(node.address(), parent.address.get(), itemModified,
                                                folderModified, e, false) &&
            USRVanished(e) != DIR_OBJECT_MISSING)
            return fail(error, USRVanished(e));
        USRNode* listed = nullptr;
        long ignored = 0;
        if (context.folders().lookup(parent.address->uniqueKey, listed, ignored)) {
            if (auto* folder = dynamic_cast<USRContainerNode*>(listed)) {
                folder->removeChild(node.key(), ignored);
                folder->clearChangeFlags();
                if (folderModified) {
                    folder->setDirTime(folderModified);
                    folder->setModifiedTime(folderModified);
                }
            }
        }
        node.removeParent(parent.address->uniqueKey, ignored);
    }
    e = 0;
    if (!context.dir().destroyNode(node.address(), e)) return fail(error, USRVanished(e));
    node.markStale();
    error = 0;
    return true;
}

// ---- Publication ------------------------------------------------------------

bool USRFolderNode::collectRecipients(std::map<std::string, std::string>& out, long& error) {
    return USRCollectRecipients(data().accessRights, context().membership(), out, error);
}

bool USRFolderNode::publishTo(const std::string& recipient, long& error) {
    stNewItemRefEntry ref = makeReference();
    long e = 0;
    if (!context().dir().addNodeToNewFoldersList(ref, recipient, e))
        return fail(error, e == DIR_NOT_DESKTOP_USER ? long(DIR_NOT_A_USER) : e);
    error = 0;
    return true;
}
