#include "document/uidesktop.h"

#include <chrono>

#include <namedir/directory.h>
#include <namedir/errors.h>
#include <namedir/qrdapi_wrapper.h>

#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "folders/newfolders.h"
#include "folders/usrfoldernode.h"
#include "nodes/usrnoderegistry.h"
#include "people/usrpeoplenode.h"
#include "people/usrpreferences.h"

UIDesktop::UIDesktop(USRContext& context, QObject* parent) : QObject(parent), context_(context) {}

UIDesktop::~UIDesktop() {
    if (worker_.joinable()) worker_.join();
}

std::string UIDesktop::title() {
    std::string name;
    long e = 0;
    queryLoginName(name, e);
    return name;
}

bool UIDesktop::queryLoginName(std::string& name, long& error) {
    return context_.loginName(name, error);
}

// ---- Loading ------------------------------------------------------------------

bool UIDesktop::loadDesktop(bool refreshing) {
    USRPrompter& prompter = context_.prompter();
    USRPreferences prefs(context_);
    std::string user;
    long e = 0;
    if (!queryLoginName(user, e)) {
        if (!refreshing) {
            prompter.showError(e);
            emit exitRequested();
        }
        return false;
    }
    userCard_ = USRPeopleNode::findCard(context_, user, e);
    if (!userCard_ && !refreshing) {
        if (e != DIR_NOT_A_USER) {
            prompter.showError(e);
            emit exitRequested();
            return false;
        }
        // A first run: the card sheet, then the environment.
        auto card = std::make_unique<USRPeopleNode>(context_);
        card->setOwner(user);
        if (!card->edit(true, true)) {
            emit exitRequested();
            return false;
        }
        long ignored = 0;
        if (!prefs.write(ignored)) prompter.showError(ignored);
        USRPeopleNode* raw = card.get();
        std::unique_ptr<USRNode> owned = std::move(card);
        if (context_.people().add(owned, ignored))
            userCard_ = raw;
        else if (!(userCard_ = USRPeopleNode::findCard(context_, user, ignored))) {
            prompter.showError(ignored);
            emit exitRequested();
            return false;
        }
    }
    if (!userCard_) return false;
    // The stored interval is applied by the Preferences command only.
    intervalMs_ = prefs.updateMinutes() * 60000;
    USRFolderNode* root = USRFolderNode::getDefaultFolder(context_, e);
    if (!root) {
        if (!refreshing) {
            prompter.showError(DIR_DEFAULT_FOLDER_UNREADABLE);
            emit exitRequested();
        }
        return false;
    }
    root_ = root;
    setCurrentFolder(root_, nullptr);
    notifier_.send(USR_HINT_REBUILD_TREE, root_);
    return true;
}

void UIDesktop::shutdown() {
    waitInboxUpdate(30000);
    offers_.clear();
    selection_.clear();
    userCard_ = nullptr;
    root_ = current_ = parentOfCurrent_ = offered_ = nullptr;
    context_.emptyRegistries();
    CQrdApi::destroySession();
}

// ---- The current folder ----------------------------------------------------------

void UIDesktop::clearRights() {
    moderatorOfCurrent_ = moderatorOfParent_ = mayChangeCurrent_ = mayChangeParent_ = false;
}

void UIDesktop::computeRights() {
    auto test = [this](USRFolderNode* f, bool& moderator, bool& change) {
        moderator = f && (f == root_ || f->isModerator());
        change = f && (f == root_ || f->mayChange());
    };
    test(current_, moderatorOfCurrent_, mayChangeCurrent_);
    test(parentOfCurrent_, moderatorOfParent_, mayChangeParent_);
}

bool UIDesktop::setCurrentFolder(USRFolderNode* folder, USRFolderNode* parent) {
    showingOffer_ = false;
    offered_ = nullptr;
    clearRights();
    if (folder) {
        long e = 0;
        if (!folder->read(e)) {
            context_.prompter().showError(e);
            if (e != DIR_OBJECT_MISSING) {
                notifier_.send(USR_HINT_REBUILD_TREE, root_);
                return false;
            }
            if (folder == root_) {
                emit exitRequested();
                return false;
            }
            // The folder vanished under us: its entry goes from its parent.
            long ignored = 0;
            if (parent) parent->removeNode(*folder, ignored);
            if (current_ == folder) current_ = parent;
            notifier_.send(USR_HINT_REBUILD_TREE, root_);
            folder->markStale();
            notifier_.send(USR_HINT_NEW_FOLDERS);
            return false;
        }
    }
    current_ = folder;
    parentOfCurrent_ = parent;
    computeRights();
    replaceSelection(folder);
    if (contentsView_ && current_ == root_ && viewMode_ == Description) viewMode_ = Details;
    if (contentsView_) notifier_.send(USR_HINT_CURRENT_FOLDER, current_);
    return true;
}

void UIDesktop::showOfferedFolder(USRFolderNode* folder) {
    offered_ = folder;
    current_ = folder;
    showingOffer_ = folder != nullptr;
    if (!folder) {
        replaceSelection(nullptr);
        if (contentsView_) notifier_.send(USR_HINT_CURRENT_FOLDER, nullptr);
        return;
    }
    long e = 0;
    if (!folder->read(e)) {
        context_.prompter().showError(e);
        if (e == DIR_OBJECT_MISSING) declineOffered();
        return;
    }
    replaceSelection(folder);
    if (contentsView_) notifier_.send(USR_HINT_CURRENT_FOLDER, folder);
}

bool UIDesktop::subscribeOffered() {
    USRFolderNode* offered = offered_;
    if (!offered || !root_) return false;
    USRPrompter& prompter = context_.prompter();
    long e = 0;
    // A node of the same record in the tree is taken instead of the offer.
    USRNode* existing = nullptr;
    USRFolderNode* place = root_;
    USRFolderNode* folder = nullptr;
    if (context_.folders().lookup(offered->key(), existing, e))
        folder = dynamic_cast<USRFolderNode*>(existing);
    if (!folder) {
        std::unique_ptr<USRNode> taken;
        if (!context_.newFolders().release(offered->key(), taken, e)) {
            prompter.showError(e);
            return false;
        }
        folder = static_cast<USRFolderNode*>(taken.get());
        if (!context_.folders().add(taken, e)) {
            prompter.showError(e);
            return false;
        }
        // `offered` is the node in the tree now.
    }
    std::erase(offers_, offered);
    if (!place->addNode(*folder, e)) {
        if (e == DIR_ALREADY_EXISTS) {
            prompter.showMessage(USRString(USR_STR_FOLDER_EXISTS), USRIcon::Exclamation);
            offered_ = folder;
            return declineOffered(), false;
        }
        prompter.showError(e);
        return false;
    }
    notifier_.send(place == root_ ? USR_HINT_SUBSCRIBED_AT_ROOT : USR_HINT_FOLDER_ADDED, folder);
    std::string user;
    if (!queryLoginName(user, e) ||
        !context_.dir().removeNodeFromNewFoldersList(folder->address(), user, e))
        prompter.showError(USRVanished(e));
    long ignored = 0;
    context_.newFolders().removeAndDelete(folder->key(), ignored); // a duplicate left behind
    offered_ = nullptr;
    showingOffer_ = false;
    notifier_.send(USR_HINT_OFFER_LEFT, folder);
    return true;
}

bool UIDesktop::declineOffered() {
    USRFolderNode* offered = offered_;
    showOfferedFolder(nullptr);
    if (!offered) return false;
    notifier_.send(USR_HINT_OFFER_LEFT, offered);
    std::erase(offers_, offered);
    long e = 0;
    bool inTree = false;
    USRNode* registered = nullptr;
    if (context_.folders().lookup(offered->key(), registered, e)) inTree = registered == offered;
    bool ok;
    if (inTree) {
        // Already in the tree: only the list entry goes.
        std::string user;
        ok = queryLoginName(user, e) &&
             context_.dir().removeNodeFromNewFoldersList(offered->address(), user, e);
    } else {
        ok = USRDeclineNewFolder(context_, *offered, e);
    }
    if (!ok) context_.prompter().showError(USRVanished(e));
    return ok;
}

USRFolderNode* UIDesktop::newFolder(bool shared) {
    USRPrompter& prompter = context_.prompter();
    if (!current_) return nullptr;
    std::string user;
    long e = 0;
    if (!queryLoginName(user, e)) {
        prompter.showError(e);
        return nullptr;
    }
    QVariantMap v{{"creating", true},  {"shared", shared},         {"editable", true},
                  {"name", QString()}, {"description", QString()}, {"notes", QString()}};
    v["rights"] = QVariantList{QVariantMap{{"name", QString::fromStdString(user)},
                                           {"role", int(USR_ROLE_MODERATOR)},
                                           {"kind", int(USR_KIND_USER)},
                                           {"mark", false}}};
    if (prompter.runDialog(USRDialog::FolderSheet, v) != USR_REPLY_OK) return nullptr;
    std::unique_ptr<USRFolderNode> made =
        USRFolderNode::create(context_, v["name"].toString().toStdString(), shared, e);
    if (!made) {
        prompter.showError(e);
        return nullptr;
    }
    made->setDescription(v["description"].toString().toStdString());
    made->data().longText = v["notes"].toString().toStdString();
    for (const QVariant& row : v["rights"].toList()) {
        QVariantMap m = row.toMap();
        std::string name = m["name"].toString().toStdString();
        if (!USRSameName(name, user) || m["role"].toInt() != USR_ROLE_MODERATOR)
            made->setRole(name, m["role"].toInt(), e);
    }
    made->setChanged(USRNode::CHANGED_FIELDS);
    if (!made->write(e)) prompter.showError(e);
    USRFolderNode* folder = made.get();
    std::unique_ptr<USRNode> owned = std::move(made);
    if (!context_.folders().add(owned, e)) {
        prompter.showError(e);
        return nullptr;
    }
    if (!current_->addNode(*folder, e)) {
        prompter.showError(e);
        return folder;
    }
    notifier_.send(USR_HINT_FOLDER_ADDED, folder);
    notifier_.send(USR_HINT_NODES_ADDED);
    int publish = v.value("publish", 0).toInt();
    if (shared && publish != 0) emit publishRequested(folder, publish == 1);
    return folder;
}

void UIDesktop::refreshCurrent() {
    if (showingOffer_ && offered_) {
        showOfferedFolder(offered_);
    } else if (current_) {
        USRFolderNode* folder = current_;
        if (setCurrentFolder(folder, parentOfCurrent_))
            notifier_.send(USR_HINT_FOLDER_REREAD, folder);
    }
    notifier_.send(USR_HINT_REFRESHED);
}

// ---- Inbox update ----------------------------------------------------------------

bool UIDesktop::startInboxUpdate() {
    if (!root_ || updateRunning_) return false;
    if (worker_.joinable()) worker_.join();
    updateRunning_ = true;
    updateFinished_ = false;
    worker_ = std::thread([this] { runInboxWorker(); });
    return true;
}

void UIDesktop::runInboxWorker() {
    long e = 0;
    bool ok = CQrdApi::createSession() && USRRefreshNewFolders(context_, e);
    if (ok)
        e = 0;
    else if (e == 0)
        e = DIR_DIRECTORY_ACCESS; // the session could not be opened
    CQrdApi::destroySession();
    {
        std::lock_guard<std::mutex> hold(workerLock_);
        workerError_ = e;
    }
    updateFinished_ = true;
    QMetaObject::invokeMethod(
        this, [this] { pollInboxUpdate(); }, Qt::QueuedConnection);
}

bool UIDesktop::waitInboxUpdate(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!updateFinished_) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (worker_.joinable()) worker_.join();
    return true;
}

bool UIDesktop::pollInboxUpdate() {
    if (!updateRunning_ || !updateFinished_) return false;
    if (worker_.joinable()) worker_.join();
    updateRunning_ = false;
    long e = 0;
    {
        std::lock_guard<std::mutex> hold(workerLock_);
        e = workerError_;
    }
    if (e) {
        context_.prompter().showError(e);
        return true;
    }
    // Offers the list no longer holds are dropped here, on the main thread,
    // where nothing else can still be showing them.
    if (offered_ && offered_->isStale()) showOfferedFolder(nullptr);
    offers_.clear();
    long ignored = 0;
    for (USRNode* n : context_.newFolders().nodes()) {
        if (n->isStale())
            context_.newFolders().removeAndDelete(n, ignored);
        else if (auto* f = dynamic_cast<USRFolderNode*>(n))
            offers_.push_back(f);
    }
    notifier_.send(USR_HINT_INBOX_DONE);
    notifier_.send(USR_HINT_NEW_FOLDERS);
    return true;
}

void UIDesktop::setUpdateInterval(long ms) {
    if (ms == intervalMs_) return;
    intervalMs_ = ms;
    notifier_.send(USR_HINT_INTERVAL_CHANGED);
}

bool UIDesktop::preferences() {
    USRPreferences prefs(context_);
    if (!prefs.runDialog()) return false;
    setUpdateInterval(prefs.updateMinutes() * 60000);
    return true;
}

// ---- Selection -------------------------------------------------------------------

USRNode* UIDesktop::singleSelected() const {
    return selection_.size() == 1 ? selection_[0] : nullptr;
}

void UIDesktop::replaceSelection(USRNode* node) {
    if (busy_) return;
    selection_.clear();
    if (node) selection_.push_back(node);
}

void UIDesktop::setSelection(const std::vector<USRNode*>& nodes) {
    if (busy_) return;
    selection_.clear();
    for (USRNode* n : nodes)
        if (n) selection_.push_back(n);
}
