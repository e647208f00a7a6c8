// USRAddress: an entry of a node's parent list or a container's children:
// the record's address, and the node found for it through the folder
// registry. The node is looked up each time, never kept, so an entry never
// points at a node that the registry has deleted.
#pragma once

#include <string>

#include <namedir/address.h>

class USRContext;
class USRNode;

class USRAddress {
  public:
    USRAddress() = default;
    explicit USRAddress(const DIRDirectoryAddress& address);
    // The node's address (copied).
    explicit USRAddress(const USRNode& node);

    const DIRDirectoryAddress* address() const { return address_.get(); }
    // The registered node of the address; 37 when there is no address or
    // the folder registry does not hold it.
    bool getNode(USRContext& context, USRNode*& node, long& error) const;
    // 40 without an address.
    bool uniqueKey(std::string& key, long& error) const;

  private:
    DIRAddressPtr address_;
};
