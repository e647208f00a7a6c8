#include "nodes/usraddress.h"

#include <namedir/errors.h>

#include "core/context.h"
#include "nodes/usrnode.h"
#include "nodes/usrnoderegistry.h"

USRAddress::USRAddress(const DIRDirectoryAddress& address) : address_(address.clone()) {}

USRAddress::USRAddress(const USRNode& node) {
    if (node.address()) address_.reset(node.address()->clone());
}

bool USRAddress::getNode(USRContext& context, USRNode*& node, long& error) const {
    node = nullptr;
    std::string key;
    long e = 0;
    if (!uniqueKey(key, e) || !context.folders().lookup(key, node, e)) {
        error = DIR_ADDRESS_NOT_FOUND;
        return false;
    }
    error = 0;
    return true;
}

bool USRAddress::uniqueKey(std::string& key, long& error) const {
    if (!address_ || address_->uniqueKey.empty()) {
        error = DIR_KEY_NOT_FOUND;
        return false;
    }
    key = address_->uniqueKey;
    error = 0;
    return true;
}
