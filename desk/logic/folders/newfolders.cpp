#include "folders/newfolders.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "folders/usrfoldernode.h"
#include "nodes/usrnoderegistry.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}

bool unlist(USRContext& context, USRNode& folder, long& error) {
    std::string user;
    long e = 0;
    if (!context.loginName(user, e)) return fail(error, e);
    if (!context.dir().removeNodeFromNewFoldersList(folder.address(), user, e))
        return fail(error, USRVanished(e));
    error = 0;
    return true;
}
} // namespace

bool USRRefreshNewFolders(USRContext& context, long& error) {
    std::string user;
    long e = 0;
    if (!context.loginName(user, e)) return fail(error, e);
    DIRFolder list;
    if (!context.dir().getNewFoldersList(user, list, e)) return fail(error, e);
    USRNodeRegistry& registry = context.newFolders();
    for (USRNode* n : registry.nodes())
        n->markStale();
    for (const DIRRefInfo& ref : list.contents) {
        if (!ref.address || ref.address->uniqueKey.empty()) continue;
        USRNode* known = nullptr;
        if (registry.lookup(ref.address->uniqueKey, known, e)) {
            known->clearStale();
            continue;
        }
        auto node = std::make_unique<USRFolderNode>(context);
        if (!node->setAddress(ref.address.get(), e)) continue;
        node->setName(ref.name);
        node->data().description = ref.refText;
        node->data().shared = ref.shared != 0;
        node->clearChangeFlags();
        node->setReferencesChanged(false);
        std::unique_ptr<USRNode> owned = std::move(node);
        registry.add(owned, e);
    }
    error = 0;
    return true;
}

bool USRDeclineNewFolder(USRContext& context, USRNode& folder, long& error) {
    if (!unlist(context, folder, error)) return false;
    long e = 0;
    if (!context.newFolders().removeAndDelete(folder.key(), e) && e != DIR_COLLECTION_EMPTY &&
        e != DIR_OBJECT_MISSING)
        return fail(error, e);
    error = 0;
    return true;
}

bool USRTakeNewFolder(USRContext& context, USRNode& folder, std::unique_ptr<USRNode>& out,
                      long& error) {
    std::string key = folder.key();
    if (!unlist(context, folder, error)) return false;
    long e = 0;
    if (!context.newFolders().release(key, out, e) && e != DIR_COLLECTION_EMPTY &&
        e != DIR_OBJECT_MISSING)
        return fail(error, e);
    error = 0;
    return true;
}
