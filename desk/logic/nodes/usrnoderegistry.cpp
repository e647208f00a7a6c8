#include "nodes/usrnoderegistry.h"

#include <algorithm>

#include <namedir/errors.h>

#include "nodes/usrnode.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}
} // namespace

USRNodeRegistry::USRNodeRegistry() = default;
USRNodeRegistry::~USRNodeRegistry() = default;

long USRNodeRegistry::find(const std::string& key) const {
    auto it = std::find(keys_.begin(), keys_.end(), key);
    return it == keys_.end() ? -1 : long(it - keys_.begin());
}

bool USRNodeRegistry::add(std::unique_ptr<USRNode>& node, long& error) {
    if (!node) return fail(error, DIR_KEY_NOT_FOUND);
    std::string key = node->key();
    if (key.empty()) return fail(error, DIR_KEY_NOT_FOUND);
    std::lock_guard<std::mutex> hold(lock_);
    if (index_.count(key)) return fail(error, DIR_ALREADY_EXISTS);
    index_[key] = node.get();
    keys_.push_back(key);
    order_.push_back(std::move(node));
    error = 0;
    return true;
}

bool USRNodeRegistry::release(const std::string& key, std::unique_ptr<USRNode>& node, long& error) {
    std::lock_guard<std::mutex> hold(lock_);
    if (order_.empty()) return fail(error, DIR_COLLECTION_EMPTY);
    long i = find(key);
    if (i < 0) return fail(error, DIR_OBJECT_MISSING);
    node = std::move(order_[size_t(i)]);
    index_.erase(key);
    order_.erase(order_.begin() + i);
    keys_.erase(keys_.begin() + i);
    error = 0;
    return true;
}

bool USRNodeRegistry::removeAndDelete(const std::string& key, long& error) {
    std::unique_ptr<USRNode> gone;
    return release(key, gone, error);
}

bool USRNodeRegistry::removeAndDelete(const USRNode* node, long& error) {
    if (!node) return fail(error, DIR_KEY_NOT_FOUND);
    return removeAndDelete(node->key(), error);
}

bool USRNodeRegistry::removeAll(long& error) {
    std::vector<std::unique_ptr<USRNode>> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (order_.empty()) return fail(error, DIR_COLLECTION_EMPTY);
        gone.swap(order_);
        keys_.clear();
        index_.clear();
    }
    error = 0;
    return true; // the nodes are deleted here, outside the lock
}

bool USRNodeRegistry::lookup(const std::string& key, USRNode*& node, long& error) const {
    node = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    if (order_.empty()) return fail(error, DIR_COLLECTION_EMPTY);
    auto it = index_.find(key);
    if (it == index_.end()) return fail(error, DIR_OBJECT_MISSING);
    node = it->second;
    error = 0;
    return true;
}

long USRNodeRegistry::count() const {
    std::lock_guard<std::mutex> hold(lock_);
    return long(order_.size());
}

std::vector<USRNode*> USRNodeRegistry::nodes() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<USRNode*> out;
    out.reserve(order_.size());
    for (const auto& n : order_)
        out.push_back(n.get());
    return out;
}
