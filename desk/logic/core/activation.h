// USRActivation: how the logic opens an item with its default program and
// runs an action on an item. The launching code (actions/) provides it and
// sets it on the context; without one, opening is 50 ("not supported").
#pragma once

#include <string>

class USRNode;

class USRActivation {
  public:
    virtual ~USRActivation() = default;
    // Opens `path` (or a URL shortcut) with the program the system
    // associates with it.
    virtual bool openDefault(const std::string& path, long& error) = 0;
    // Runs `action` on `item` (none: the action alone).
    virtual bool runAction(USRNode& action, USRNode* item, long& error) = 0;
};
