// UIDesktop: the document every window shares. It holds the login state
// (the user's card), the desktop root, the current folder and its parent,
// the folder on offer, the selection, the new folders on offer and the inbox
// update, and runs the commands that change them. Views follow it through
// notifier() (hint codes, core/notifier.h); questions and dialogs go
// through the context's prompter. Main thread only, except the inbox worker
// (its own session; it hands its result back through a queued call).
#pragma once

#include <QObject>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/notifier.h"

class USRContext;
class USRFolderNode;
class USRNode;
class USRPeopleNode;

class UIDesktop : public QObject {
    Q_OBJECT
  public:
    static constexpr long kDefaultIntervalMs = 900000; // 15 minutes
    enum ViewMode { LargeIcons, SmallIcons, List, Details, Description };

    explicit UIDesktop(USRContext& context, QObject* parent = nullptr);
    ~UIDesktop() override;

    USRContext& context() { return context_; }
    USRNotifier& notifier() { return notifier_; }
    // The document's title: the login user's name.
    std::string title();

    // ---- Start and end ----
    // The login name; 53 when nobody is logged in.
    bool queryLoginName(std::string& name, long& error);
    // Finds the user's card (a first run makes one and the environment),
    // the root folder, and makes the root current. With `refreshing`
    // nothing is shown and nothing exits on failure.
    bool loadDesktop(bool refreshing);
    // Exit: waits for the inbox worker, empties the registries, ends the
    // session of this thread.
    void shutdown();

    // ---- State ----
    bool isLoggedIn() const { return userCard_ != nullptr; }
    USRPeopleNode* userCard() const { return userCard_; }
    USRFolderNode* rootFolder() const { return root_; }
    USRFolderNode* currentFolder() const { return current_; }
    USRFolderNode* parentOfCurrent() const { return parentOfCurrent_; }
    USRFolderNode* offeredFolder() const { return offered_; }
    bool showingOffer() const { return showingOffer_; }
    bool moderatorOfCurrent() const { return moderatorOfCurrent_; }
    bool moderatorOfParent() const { return moderatorOfParent_; }
    bool mayChangeCurrent() const { return mayChangeCurrent_; }
    bool mayChangeParent() const { return mayChangeParent_; }
    int viewMode() const { return viewMode_; }
    void setViewMode(int mode) { viewMode_ = mode; }
    // The contents view tells the document that it exists.
    void setContentsView(bool present) { contentsView_ = present; }

    // ---- Folders ----
    bool setCurrentFolder(USRFolderNode* folder, USRFolderNode* parent);
    void showOfferedFolder(USRFolderNode* folder);
    bool subscribeOffered();
    bool declineOffered();
    // New folder in the current folder through the folder sheet; emits
    // publishRequested when the sheet chose to publish a shared folder.
    USRFolderNode* newFolder(bool shared);
    // Deletes the selection; `silent` (a cut) asks nothing and only unlinks.
    void deleteSelection(bool silent);
    // Refresh command: the offer or the current folder again, hints 14, 15.
    void refreshCurrent();

    // ---- Inbox update ----
    bool startInboxUpdate(); // false when one runs or no desktop is loaded
    // On the main thread: when the worker finished, the offers are taken
    // and the views told (hints 5, 10). True when it did.
    bool pollInboxUpdate();
    bool updateRunning() const { return updateRunning_; }
    // Blocks until the worker has finished (tests, exit); false on timeout.
    bool waitInboxUpdate(int timeoutMs);
    const std::vector<USRFolderNode*>& newFoldersOnOffer() const { return offers_; }
    long updateInterval() const { return intervalMs_; }
    void setUpdateInterval(long ms);
    // The Preferences command.
    bool preferences();

    // ---- Selection ----
    const std::vector<USRNode*>& selection() const { return selection_; }
    USRNode* singleSelected() const;
    void replaceSelection(USRNode* node);
    void setSelection(const std::vector<USRNode*>& nodes);

  signals:
    // The frame should run the Exit command (57665).
    void exitRequested();
    // The frame should close (a logout on the workstation).
    void closeRequested();
    // Open the publish window for `folder`; `atOnce` publishes to all.
    void publishRequested(USRFolderNode* folder, bool atOnce);

  private:
    void runInboxWorker();
    bool deleteOne(USRNode* node, bool silent, bool several, bool& yesToAll, bool& stop);
    void clearRights();
    void computeRights();

    USRContext& context_;
    USRNotifier notifier_;
    USRPeopleNode* userCard_ = nullptr; // the registries own the nodes
    USRFolderNode* root_ = nullptr;
    USRFolderNode* parentOfCurrent_ = nullptr;
    USRFolderNode* current_ = nullptr;
    USRFolderNode* offered_ = nullptr;
    bool showingOffer_ = false;
    std::vector<USRNode*> selection_;
    bool contentsView_ = false;
    bool moderatorOfCurrent_ = false, moderatorOfParent_ = false;
    bool mayChangeCurrent_ = false, mayChangeParent_ = false;
    bool busy_ = false;
    std::vector<USRFolderNode*> offers_;
    long intervalMs_ = kDefaultIntervalMs;
    int viewMode_ = Details;

    // The inbox worker.
    std::thread worker_;
    bool updateRunning_ = false; // main thread only
    std::atomic<bool> updateFinished_{true};
    std::mutex workerLock_;
    long workerError_ = 0; // guarded by workerLock_
};
