#include "folders/usrcontainernode.h"

#include <algorithm>

#include <namedir/errors.h>

#include "core/context.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}
} // namespace

USRContainerNode::USRContainerNode(USRContext& context, long objectType)
    : USRNode(context, objectType, std::make_unique<USRContainerNodeData>()) {}

USRContainerNodeData& USRContainerNode::containerData() {
    return static_cast<USRContainerNodeData&>(data());
}
const USRContainerNodeData& USRContainerNode::containerData() const {
    return static_cast<const USRContainerNodeData&>(data());
}

bool USRContainerNode::hasChild(const std::string& key) const {
    return std::any_of(children_.begin(), children_.end(),
                       [&](const USRChild& c) { return c.key == key; });
}

bool USRContainerNode::addChild(const USRNode& node, long& error) {
    std::string key = node.key();
    if (key.empty()) return fail(error, DIR_KEY_NOT_FOUND);
    if (hasChild(key)) return fail(error, DIR_ALREADY_EXISTS);
    children_.push_back({key, USRAddress(node), node.name(), node.objectType(),
                         node.isShared() ? 1 : 0, node.data().description});
    setChanged(CHANGED_CHILDREN);
    error = 0;
    return true;
}

bool USRContainerNode::removeChild(const std::string& key, long& error) {
    if (children_.empty()) return fail(error, DIR_COLLECTION_EMPTY);
    auto it = std::find_if(children_.begin(), children_.end(),
                           [&](const USRChild& c) { return c.key == key; });
    if (it == children_.end()) return fail(error, DIR_OBJECT_MISSING);
    children_.erase(it);
    setChanged(CHANGED_CHILDREN);
    error = 0;
    return true;
}

USRNode* USRContainerNode::childNode(const USRChild& child, long& error) {
    USRNode* node = nullptr;
    long e = 0;
    if (context().folders().lookup(child.key, node, e)) return node;
    if (!child.address.address()) {
        error = DIR_ADDRESS_NOT_FOUND;
        return nullptr;
    }
    std::unique_ptr<USRNode> made = context().factory().make(context(), child.objectType);
    if (!made->setAddress(child.address.address(), e)) {
        error = e;
        return nullptr;
    }
    made->setName(child.name);
    made->data().shared = child.shared != 0;
    made->data().description = child.description;
    made->clearChangeFlags();
    made->setReferencesChanged(false);
    made->addParent(*this, e);
    node = made.get();
    if (!context().folders().add(made, e)) {
        error = e;
        return nullptr;
    }
    error = 0;
    return node;
}

const std::vector<std::string>& USRContainerNode::subscribers() const {
    return containerData().subscribers;
}

bool USRContainerNode::isSubscriber(const std::string& user) const {
    const auto& s = containerData().subscribers;
    return std::any_of(s.begin(), s.end(),
                       [&](const std::string& n) { return USRSameName(n, user); });
}

bool USRContainerNode::addSubscriber(const std::string& user, long& error) {
    if (isSubscriber(user)) return fail(error, DIR_ALREADY_EXISTS);
    containerData().subscribers.push_back(user);
    subscribersAdded_.insert(user);
    subscribersRemoved_.erase(user);
    setChanged(CHANGED_SUBSCRIBERS);
    error = 0;
    return true;
}

bool USRContainerNode::removeSubscriber(const std::string& user, long& error) {
    auto& s = containerData().subscribers;
    if (s.empty()) return fail(error, DIR_COLLECTION_EMPTY);
    auto it = std::find_if(s.begin(), s.end(),
                           [&](const std::string& n) { return USRSameName(n, user); });
    if (it == s.end()) return fail(error, DIR_OBJECT_MISSING);
    subscribersRemoved_.insert(*it);
    subscribersAdded_.erase(*it);
    s.erase(it);
    setChanged(CHANGED_SUBSCRIBERS);
    error = 0;
    return true;
}
