// USRNodeRegistry: nodes by the unique key of their record, so that one
// record has at most one node. The registry owns the nodes it holds and
// keeps them in the order they were added. Failures are codes, never fatal:
// 33 the key exists, 35 the registry is empty, 36 the key is missing.
// Guarded by a lock: the inbox worker refreshes the new-folders registry.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class USRNode;

class USRNodeRegistry {
  public:
    USRNodeRegistry();
    ~USRNodeRegistry();
    USRNodeRegistry(const USRNodeRegistry&) = delete;
    USRNodeRegistry& operator=(const USRNodeRegistry&) = delete;

    // Takes `node` on success (it is then null); on 33 (or a node without
    // an address, 40) the caller keeps it.
    bool add(std::unique_ptr<USRNode>& node, long& error);
    // Removes and deletes the node registered under `node`'s key.
    bool removeAndDelete(const USRNode* node, long& error);
    bool removeAndDelete(const std::string& key, long& error);
    // Removes without deleting: the caller receives the node.
    bool release(const std::string& key, std::unique_ptr<USRNode>& node, long& error);
    bool removeAll(long& error);
    bool lookup(const std::string& key, USRNode*& node, long& error) const;
    long count() const;
    // The nodes in registry order (a copy of the pointers).
    std::vector<USRNode*> nodes() const;

  private:
    long find(const std::string& key) const; // index in order_ or -1; lock held

    mutable std::mutex lock_;
    // guarded by lock_: the nodes in order, their keys in the same order,
    // and the nodes by key
    std::vector<std::unique_ptr<USRNode>> order_;
    std::vector<std::string> keys_;
    std::unordered_map<std::string, USRNode*> index_;
};
