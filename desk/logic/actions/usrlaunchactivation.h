// The launching code's USRActivation: opening with the default program and
// running actions on items, for the nodes that reach them through the
// context (USRContext::setActivation). Stateless; one may serve every
// context.
#pragma once

#include "core/activation.h"

class USRLaunchActivation : public USRActivation {
  public:
    bool openDefault(const std::string& path, long& error) override;
    // 50 when `action` is no action.
    bool runAction(USRNode& action, USRNode* item, long& error) override;
};
