// USRContainerNode: a node that lists other nodes (its children, in the
// order of the record's listing) and keeps a subscriber list. Adding or
// removing children here is in memory only; the folder operations
// (USRFolderNode) do the same in the store.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "nodes/usrnode.h"

class USRContainerNodeData : public USRNodeData {
  public:
    std::vector<std::string> subscribers; // users (entry kind 1)
};

// One child as the container's listing shows it.
struct USRChild {
    std::string key;
    USRAddress address;
    std::string name;
    long objectType = 0;
    long shared = 0;
    std::string description; // the listing's text
};

class USRContainerNode : public USRNode {
  public:
    USRContainerNode(USRContext& context, long objectType);

    const std::vector<USRChild>& children() const { return children_; }
    bool hasChild(const std::string& key) const;
    // 33 when the node is a child already.
    bool addChild(const USRNode& node, long& error);
    // 35 without children, 36 when the node is none of them.
    bool removeChild(const std::string& key, long& error);
    // The registered node of a child, made (not read) through the kind
    // factory and registered when the folder registry lacks it.
    USRNode* childNode(const USRChild& child, long& error);

    const std::vector<std::string>& subscribers() const;
    bool isSubscriber(const std::string& user) const;
    bool addSubscriber(const std::string& user, long& error);    // 33 when there
    bool removeSubscriber(const std::string& user, long& error); // 35 / 36

  protected:
    USRContainerNodeData& containerData();
    const USRContainerNodeData& containerData() const;
    void setChildren(std::vector<USRChild> children) { children_ = std::move(children); }
    // Subscribers added and removed since the last read or write, for a
    // merge with another workstation's list.
    std::set<std::string> subscribersAdded_, subscribersRemoved_;

  private:
    std::vector<USRChild> children_;
};
