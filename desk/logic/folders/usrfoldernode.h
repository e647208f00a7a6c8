// USRFolderNode: a folder of the desktop. Besides the node's read and write
// it links nodes into the folder and out of it in the store, deletes nodes
// for good, answers the rights tests of the login user and publishes the
// folder to recipients. The user's desktop root passes every rights test.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "folders/usrcontainernode.h"

class USRFolderNode : public USRContainerNode {
  public:
    explicit USRFolderNode(USRContext& context);

    bool read(long& error) override;
    // Opens the folder property sheet (read-only unless `editable`); on OK
    // the node takes the sheet's values and true is returned.
    bool edit(bool editable, bool flag) override;

    // The user's desktop root, registered in the folder registry.
    static USRFolderNode* getDefaultFolder(USRContext& context, long& error);
    // A new folder record (on the login group when `shared`); the login
    // user is its first moderator. The node is not registered yet.
    static std::unique_ptr<USRFolderNode> create(USRContext& context, const std::string& name,
                                                 bool shared, long& error);

    // Links a registered node into this folder (store and memory): 56 for
    // the folder itself, 33 when it is listed already. The login user
    // becomes a subscriber of this folder and of `node` when it is a folder.
    bool addNode(USRNode& node, long& error);
    // Unlinks `node`; a node left without parents is marked stale (and a
    // folder loses the login user as subscriber).
    bool removeNode(USRNode& node, long& error);
    // Unlinks `node` from every folder that lists it and destroys its record.
    static bool deletePermanently(USRContext& context, USRNode& node, long& error);

    bool isModerator();
    bool mayChange();
    bool mayRead();
    // The login user's role (0..3); 41 when it cannot be established.
    bool myRights(long& rights, long& error);

    // Access rights edits (the members page): an added entry carries the
    // publication mark.
    bool setRole(const std::string& name, long role, long& error);
    bool removeRight(const std::string& name, long& error);
    bool markForPublication(const std::string& name, long& error);

    // Recipients of the marked entries (marks cleared): recipient -> the
    // list or group it came through (its own name for a direct entry).
    bool collectRecipients(std::map<std::string, std::string>& out, long& error);
    // Puts this folder on `recipient`'s new-folders list; 54 when the
    // recipient does not use the desktop.
    bool publishTo(const std::string& recipient, long& error);

  protected:
    void takeRecord(const DIRCommonInfo& record) override;
    void fillRecord(DIRCommonInfo& record) const override;
    void mergeInto(DIRCommonInfo& stored) const override;

  private:
    bool freshRead_ = false;
};

std::unique_ptr<USRNode> USRMakeFolderNode(USRContext& context);
