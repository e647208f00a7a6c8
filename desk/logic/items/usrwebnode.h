// USRWebNode: a web item, a URL. Opening one writes the URL to the
// temporary Internet shortcut (items/urlforms.h) and opens that.
#pragma once

#include <memory>
#include <string>

#include "nodes/usritemnode.h"

class USRWebNode : public USRItemNode {
  public:
    explicit USRWebNode(USRContext& context);

    const std::string& url() const { return url_; }
    void setUrl(const std::string& url);

    // The web item dialog, its checks included (a name and a URL are
    // required; a URL of no known form is kept only when the person says
    // so). True when something changed (or `force`).
    bool edit(bool editable, bool force) override;
    // With an action, runs it with the URL as its item; without, opens the
    // URL through the temporary shortcut.
    bool activate(USRNode* action, long& error) override;
    bool create(long& error);

  protected:
    void takeRecord(const DIRCommonInfo& record) override;
    void fillRecord(DIRCommonInfo& record) const override;

  private:
    std::string url_;
};

std::unique_ptr<USRNode> USRMakeWebNode(USRContext& context);
