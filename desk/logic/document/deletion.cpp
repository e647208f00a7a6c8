// The Delete command of the document (and the second half of a cut).
#include <namedir/errors.h>

#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "document/uidesktop.h"
#include "document/usrfolderdeletion.h"
#include "folders/usrfoldernode.h"
#include "nodes/usrnoderegistry.h"

namespace {

// Releases a node's busy lock when the deletion of the node ends.
struct BusyLock {
    USRNode* node;
    ~BusyLock() { node->releaseBusyLock(); }
};

} // namespace

bool UIDesktop::deleteOne(USRNode* node, bool silent, bool several, bool& yesToAll, bool& stop) {
    USRPrompter& prompter = context_.prompter();
    if (!node->takeBusyLock()) {
        prompter.showMessage(USRString(USR_STR_LOCKED_DELETE) + " " + node->name(),
                             USRIcon::Exclamation);
        return true; // not a failure of the pass: the next node is tried
    }
    BusyLock lock{node};
    if (!silent && !yesToAll) {
        QVariantMap v{{"name", QString::fromStdString(node->name())},
                      {"type", int(node->objectType())},
                      {"several", several}};
        USRReply reply = prompter.runDialog(USRDialog::DeleteConfirm, v);
        if (reply == USR_REPLY_YES_TO_ALL) yesToAll = true;
        if (reply == USR_REPLY_NO) return true;
        if (reply != USR_REPLY_YES && reply != USR_REPLY_YES_TO_ALL) {
            stop = true;
            return true;
        }
    }
    USRFolderNode* holder = node == current_ ? parentOfCurrent_ : current_;
    if (!holder) return true;
    long e = 0;
    bool ok;
    auto* folder = dynamic_cast<USRFolderNode*>(node);
    if (!folder) {
        if (!silent && holder->isModerator()) {
            ok = USRFolderNode::deletePermanently(context_, *node, e);
            if (!ok && (e == DIR_OBJECT_MISSING || e == DIR_ATTR_MISSING)) {
                prompter.showMessage(USRString(USR_STR_ITEM_GONE), USRIcon::Exclamation);
                long ignored = 0;
                holder->removeNode(*node, ignored); // only the entry is left to remove
            } else if (!ok) {
                prompter.showError(e);
            }
        } else {
            ok = holder->removeNode(*node, e);
            if (!ok) prompter.showError(e);
        }
    } else if (silent) {
        ok = holder->removeNode(*node, e);
        if (!ok) prompter.showError(e);
    } else {
        // Only a moderator of a shared folder chooses between this folder
        // and every subscriber; the tree below is decided entry by entry.
        bool everyone = false, allSubfolders = false;
        if (folder->isShared() && folder->isModerator()) {
            QVariantMap v{{"name", QString::fromStdString(node->name())}, {"moderator", true}};
            if (prompter.runDialog(USRDialog::FolderDelete, v) != USR_REPLY_OK) return true;
            everyone = v.value("allSubscribers").toBool();
            allSubfolders = v.value("allSubfolders").toBool();
        }
        USRFolderDeletion deletion(context_, *folder, holder, everyone, allSubfolders);
        const bool done = prompter.runFolderDeletion(deletion) == USR_REPLY_OK;
        // A cancel or a failure (shown by the run) leaves part of the tree:
        // the views re-read the holder either way.
        notifier_.send(USR_HINT_FOLDER_REREAD, holder);
        if (!done) {
            stop = true;
            return true;
        }
        ok = true;
    }
    if (!ok) return false;
    notifier_.send(USR_HINT_NODE_REMOVED, node);
    notifier_.send(USR_HINT_FOLDER_REREAD, holder);
    return true;
}

void UIDesktop::deleteSelection(bool silent) {
    std::vector<USRNode*> nodes = selection_;
    selection_.clear();
    busy_ = true;
    bool yesToAll = false, stop = false;
    for (USRNode* node : nodes) {
        if (stop) break;
        if (node == root_ || node->isStale()) continue;
        if (deleteOne(node, silent, nodes.size() > 1, yesToAll, stop)) continue;
        if (nodes.size() > 1 &&
            !context_.prompter().askYesNo(USRFormat(USR_STR_DELETE_REMAINING, {node->name()}),
                                          USRIcon::Question))
            break;
    }
    busy_ = false;
    notifier_.send(USR_HINT_DELETION_DONE);
    long e = 0;
    // The current folder itself may be among the purged: the parent follows.
    if (current_ && current_->isStale()) {
        current_ = parentOfCurrent_;
        parentOfCurrent_ = nullptr;
    }
    if (!USRNode::purgeStale(context_, e)) context_.prompter().showError(e);
}
