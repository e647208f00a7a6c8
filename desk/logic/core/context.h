// USRContext: what one desktop shares between its document and its nodes:
// the directory store object, the three node registries (folders and
// actions, new folders on offer, business cards), the node kind factory, the
// membership questions, the prompter and the cached login name.
//
// A desktop program has one (process()); tests make one per simulated
// workstation, so that two desktops can run side by side in one process.
// Nodes keep a reference to the context that made them.
#pragma once

#include <memory>
#include <mutex>
#include <string>

class DIRDirectory;
class USRActivation;
class USRMembership;
class USRNodeFactory;
class USRNodeRegistry;
class USRPrompter;

class USRContext {
  public:
    // Calls go through `dir`, which must outlive the context.
    explicit USRContext(DIRDirectory& dir);
    ~USRContext();
    USRContext(const USRContext&) = delete;
    USRContext& operator=(const USRContext&) = delete;

    // The program's context, over a process-wide DIRDirectory.
    static USRContext& process();

    DIRDirectory& dir() { return dir_; }
    USRNodeRegistry& folders() { return *folders_; }
    USRNodeRegistry& newFolders() { return *newFolders_; }
    USRNodeRegistry& people() { return *people_; }
    USRNodeFactory& factory() { return *factory_; }

    USRMembership& membership() { return *membership_; }
    void setMembership(USRMembership* membership); // nullptr: the client's

    // The silent prompter until a window sets its own (not owned).
    USRPrompter& prompter() { return *prompter_; }
    void setPrompter(USRPrompter* prompter);

    // Opening and running items (nullptr until the launching code sets it;
    // not owned).
    USRActivation* activation() { return activation_; }
    void setActivation(USRActivation* activation) { activation_ = activation; }

    // The logged-in user's name, cached by the first success; 53 when
    // nobody is logged in.
    bool loginName(std::string& name, long& error);

    // Exit: deletes every node of the new-folders, folder and card
    // registries, in that order.
    void emptyRegistries();

  private:
    DIRDirectory& dir_;
    std::unique_ptr<USRNodeRegistry> folders_;
    std::unique_ptr<USRNodeRegistry> newFolders_;
    std::unique_ptr<USRNodeRegistry> people_;
    std::unique_ptr<USRNodeFactory> factory_;
    std::unique_ptr<USRPrompter> silent_;
    USRPrompter* prompter_;
    USRMembership* membership_;
    USRActivation* activation_ = nullptr;
    std::mutex loginLock_;
    std::string login_; // guarded by loginLock_
};
