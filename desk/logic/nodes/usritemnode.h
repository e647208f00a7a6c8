// USRItemNode: a node that is not a container (document, web item, person).
// It adds one slot: activate, which opens the item with the program the
// system associates with it, or runs `action` on it.
#pragma once

#include "nodes/usrnode.h"

class USRItemNode : public USRNode {
  public:
    using USRNode::USRNode;
    // True when `error` is 0.
    virtual bool activate(USRNode* action, long& error) = 0;
};
