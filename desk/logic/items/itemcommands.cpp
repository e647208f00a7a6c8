#include "items/itemcommands.h"

#include <memory>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "core/notifier.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "files/usrfile.h"
#include "folders/usrfoldernode.h"
#include "items/docname.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"
#include "nodes/usrnoderegistry.h"

namespace {

constexpr long kStrNotAFile = 3500 + DIR_NOT_A_FILE;

// Creates `node`'s record, registers it and links it into `current`; shows
// what failed and undoes what was done.
template <class Node>
Node* addToFolder(USRContext& context, USRFolderNode& current, std::unique_ptr<Node> node,
                  USRNotifier* notifier) {
    USRPrompter& prompter = context.prompter();
    long e = 0;
    if (!node->create(e)) {
        prompter.showError(e);
        return nullptr;
    }
    Node* raw = node.get();
    std::unique_ptr<USRNode> owned = std::move(node);
    long ignored = 0;
    if (!context.folders().add(owned, e)) {
        prompter.showError(e);
        context.dir().destroyNode(raw->address(), ignored);
        return nullptr;
    }
    if (!current.addNode(*raw, e)) {
        prompter.showError(e);
        context.dir().destroyNode(raw->address(), ignored);
        context.folders().removeAndDelete(raw, ignored);
        return nullptr;
    }
    if (notifier) notifier->send(USR_HINT_NODES_ADDED, raw);
    return raw;
}

} // namespace

USRDocNode* USRNewDocumentItem(USRContext& context, USRFolderNode& current,
                               const std::optional<std::string>& dropped, USRNotifier* notifier) {
    USRPrompter& prompter = context.prompter();
    if (dropped && !USRFile::isFile(*dropped)) {
        prompter.showMessage(*dropped + USRString(kStrNotAFile), USRIcon::Exclamation);
        return nullptr;
    }
    std::string user;
    long e = 0;
    if (!context.loginName(user, e)) {
        prompter.showError(e);
        return nullptr;
    }
    auto doc = std::make_unique<USRDocNode>(context);
    doc->setCreator(user);
    if (dropped) {
        std::string path = *dropped;
        if (!USRFile::normalise(path)) path = *dropped;
        doc->setFilePath(path);
        doc->setName(USRDocumentNameFor(*dropped));
    }
    doc->data().shared = current.isShared();
    if (!doc->edit(true, true)) return nullptr;
    return addToFolder(context, current, std::move(doc), notifier);
}

USRWebNode* USRNewWebItem(USRContext& context, USRFolderNode& current, USRNotifier* notifier) {
    auto web = std::make_unique<USRWebNode>(context);
    web->data().shared = current.isShared();
    if (!web->edit(true, true)) return nullptr;
    return addToFolder(context, current, std::move(web), notifier);
}

bool USREditDocumentProperties(USRContext& context, USRDocNode& doc, USRNotifier* notifier) {
    bool copied = false;
    if (doc.isShared() && !USRFile::isOnSharedArea(doc.filePath())) {
        std::string path = doc.filePath();
        if (!USROfferSharedCopy(context, path)) return false;
        doc.setFilePath(path);
        copied = true;
    }
    // The copy's path is saved even when the dialog changes nothing else.
    if (!doc.edit(true, copied)) return false;
    long e = 0;
    if (!doc.write(e)) {
        context.prompter().showError(e);
        return false;
    }
    if (notifier) notifier->send(USR_HINT_PROPERTIES_SAVED, &doc);
    return true;
}

bool USROfferSharedCopy(USRContext& context, std::string& path) {
    USRPrompter& prompter = context.prompter();
    DIRPreferencesInfo prefs;
    long e = 0;
    if (!context.dir().getPreferencesInfo(prefs, e)) {
        prompter.showMessage(USRString(USR_STR_SHARE_DIR_UNREADABLE));
        return false;
    }
    if (!prompter.askYesNo(USRFormat(USR_STR_OFFER_COPY, {path}), USRIcon::Question)) return false;
    std::string source = USRFile::isNetworkPath(path) ? USRFile::localPath(path) : path;
    for (;;) {
        std::string proposal = prefs.text;
        if (!proposal.empty() && proposal.back() != '\\' && proposal.back() != '/')
            proposal += USRFile::isNetworkPath(proposal) ? "\\" : "/";
        proposal += USRFile::fileNameOf(path);
        if (!USRFile::normalise(proposal)) proposal = prefs.text;
        // The dialog works on this workstation's files.
        if (std::string local = USRFile::localPath(proposal); !local.empty()) proposal = local;
        QVariantMap values{{"title", QString()},
                           {"path", QString::fromStdString(proposal)},
                           {"overwritePrompt", true}};
        if (prompter.runDialog(USRDialog::SaveFile, values) != USR_REPLY_OK) return false;
        std::string destination = values.value("path").toString().toStdString();
        if (USRFile::isOnSharedArea(destination)) {
            QVariantMap copy{{"source", QString::fromStdString(source)},
                             {"destination", QString::fromStdString(destination)},
                             {"overwrite", true},
                             {"result", -1}};
            prompter.runDialog(USRDialog::CopyProgress, copy);
            if (copy.value("result").toInt() != 0) return false;
            if (!USRFile::normalise(destination)) return false;
            path = destination;
            return true;
        }
        if (!prompter.askYesNo(USRFormat(USR_STR_STILL_LOCAL, {destination}), USRIcon::Question))
            return false;
    }
}
