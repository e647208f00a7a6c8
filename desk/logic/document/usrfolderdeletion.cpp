// The deletion of one folder tree: its list, the decisions and the steps.
#include "document/usrfolderdeletion.h"

#include <map>

#include <namedir/errors.h>

#include "core/context.h"
#include "core/prompter.h"
#include "folders/usrfoldernode.h"

namespace {

bool fail(long& error, long code) {
    error = code;
    return false;
}

} // namespace

USRFolderDeletion::USRFolderDeletion(USRContext& context, USRFolderNode& folder,
                                     USRFolderNode* holder, bool everyone, bool allSubfolders)
    : context_(context), everyone_(everyone), allSubfolders_(everyone && allSubfolders) {
    entries_.push_back({folder.name(), false, 1, &folder, holder});
}

long USRFolderDeletion::entryOf(const USRNode* node) const {
    const auto at = index_.find(node);
    return at == index_.end() ? -1 : long(at->second);
}

void USRFolderDeletion::walk(USRFolderNode& folder, const std::string& path, long& error) {
    long e = 0;
    if (!folder.read(e) && e != DIR_COLLECTION_EMPTY) {
        error = e;
        return;
    }
    const std::vector<USRChild> children = folder.children(); // reads below may change it
    for (const USRChild& child : children) {
        USRNode* node = folder.childNode(child, e);
        if (!node) continue;
        if (long at = entryOf(node); at >= 0) {
            ++entries_[size_t(at)].count;
            continue;
        }
        // An entry whose record is gone has nothing left to delete.
        if (!node->read(e)) {
            if (e == DIR_OBJECT_MISSING) continue;
            error = e;
            return;
        }
        const std::string below = path + "\\" + node->name();
        index_.emplace(node, entries_.size());
        entries_.push_back({below, false, 1, node, &folder});
        if (auto* sub = dynamic_cast<USRFolderNode*>(node)) {
            walk(*sub, below, error);
            if (error) return;
        }
    }
}

bool USRFolderDeletion::build(long& error) {
    error = 0;
    entries_.resize(1);
    entries_[0].count = 1;
    index_ = {{entries_[0].node, 0}};
    walk(*static_cast<USRFolderNode*>(entries_[0].node), entries_[0].node->name(), error);
    next_ = entries_.size();
    return error == 0;
}

bool USRFolderDeletion::decide() {
    // Entry 0: the person's choice for everyone, or a personal folder that
    // nothing outside the tree refers to.
    Entry& top = entries_[0];
    top.deleteSelf = everyone_ || (!top.node->isShared() && top.count >= top.node->parentCount());
    // Chosen for every subscriber: kept even when referenced from outside.
    std::vector<bool> forEveryone(entries_.size(), false);
    forEveryone[0] = everyone_;
    bool allSubfolders = allSubfolders_;
    for (size_t i = 1; i < entries_.size(); ++i) {
        Entry& en = entries_[i];
        const long p = entryOf(en.parent);
        if (p < 0) {
            en.parent = nullptr; // an orphan: its step reports 36
            continue;
        }
        if (!entries_[size_t(p)].deleteSelf) continue; // dropped below
        auto* folder = dynamic_cast<USRFolderNode*>(en.node);
        if (!folder || !folder->isShared()) {
            en.deleteSelf = en.count >= en.node->parentCount();
        } else if (folder->isModerator()) {
            if (!allSubfolders) {
                QVariantMap v{{"name", QString::fromStdString(folder->name())},
                              {"moderator", true}};
                if (context_.prompter().runDialog(USRDialog::FolderDelete, v) != USR_REPLY_OK)
                    return false;
                en.deleteSelf = v.value("allSubscribers").toBool();
                allSubfolders = en.deleteSelf && v.value("allSubfolders").toBool();
            } else {
                en.deleteSelf = true;
            }
            forEveryone[i] = en.deleteSelf;
        }
    }
    // An object goes only when every folder holding it goes too: a parent
    // kept anywhere (inside the tree or out) still shows it.
    std::map<std::string, size_t> byKey;
    for (size_t i = 0; i < entries_.size(); ++i)
        byKey.emplace(entries_[i].node->key(), i);
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 1; i < entries_.size(); ++i) {
            Entry& en = entries_[i];
            if (!en.deleteSelf || forEveryone[i]) continue;
            for (const auto& [key, address] : en.node->parents()) {
                (void)address;
                const auto at = byKey.find(key);
                if (at == byKey.end() || !entries_[at->second].deleteSelf) {
                    en.deleteSelf = false;
                    changed = true;
                    break;
                }
            }
        }
    }
    // Below a kept folder everything stays reachable: nothing to do there.
    std::vector<Entry> kept{entries_[0]};
    for (size_t i = 1; i < entries_.size(); ++i) {
        const Entry& en = entries_[i];
        if (!en.parent) {
            kept.push_back(en);
            continue;
        }
        for (const Entry& k : kept)
            if (k.node == en.parent && k.deleteSelf) {
                kept.push_back(en);
                break;
            }
    }
    entries_ = std::move(kept);
    index_.clear();
    next_ = entries_.size();
    return true;
}

bool USRFolderDeletion::step(long& error) {
    if (next_ == 0) return true;
    const Entry& en = entries_[next_ - 1];
    long e = 0;
    bool ok;
    if (en.deleteSelf) {
        ok = USRFolderNode::deletePermanently(context_, *en.node, e) || e == DIR_OBJECT_MISSING;
    } else if (!en.parent) {
        return fail(error, DIR_OBJECT_MISSING);
    } else {
        ok = en.parent->removeNode(*en.node, e);
    }
    if (!ok) return fail(error, e);
    --next_;
    error = 0;
    return true;
}

void USRFolderDeletion::cancel() {
    for (size_t i = 0; i < next_; ++i) {
        auto* folder = dynamic_cast<USRFolderNode*>(entries_[i].node);
        long ignored = 0;
        if (folder && !entries_[i].deleteSelf) folder->read(ignored);
    }
    next_ = 0;
}

USRReply USRFolderDeletion::runToEnd() {
    long e = 0;
    if (!build(e)) {
        context_.prompter().showError(e);
        return USR_REPLY_CANCEL;
    }
    if (!decide()) return USR_REPLY_CANCEL;
    while (remaining() > 0)
        if (!step(e)) {
            context_.prompter().showError(e);
            return USR_REPLY_CANCEL;
        }
    return USR_REPLY_OK;
}

USRReply USRPrompter::runFolderDeletion(USRFolderDeletion& deletion) {
    return deletion.runToEnd();
}
