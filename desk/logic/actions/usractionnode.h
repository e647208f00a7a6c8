// USRActionNode: an action of the user's library, a program the user starts
// alone or on a document or web item. Record fields (DIRAction): command
// line and start directory, show mode, icon index, `capabilities` (the
// object types it applies to), `reserved` (needs an item) and `initial`
// (belongs on the toolbar when the standard actions are installed). The
// toolbar gives the actions it shows a command id (1000..2999).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <namedir/records.h>

#include "actions/launcher.h"
#include "nodes/usrnode.h"

class USRActionNode : public USRNode {
  public:
    static constexpr uint16_t kNoCommandId = 0xFFFF;

    // Empty: shared, show mode normal, no icon, no command id.
    explicit USRActionNode(USRContext& context);
    // From an entry of the library or toolbar listing (not read yet).
    USRActionNode(USRContext& context, const DIRRefInfo& reference);

    const std::string& commandLine() const { return commandLine_; }
    void setCommandLine(const std::string& line);
    const std::string& startDirectory() const { return startDirectory_; }
    void setStartDirectory(const std::string& dir);
    long showMode() const { return showMode_; }
    void setShowMode(long mode);
    bool needsItem() const { return needsItem_; }
    void setNeedsItem(bool needs);
    long capabilities() const { return capabilities_; }
    void setCapabilities(long mask);
    bool toolbarFlag() const { return toolbarFlag_; }
    void setToolbarFlag(bool onToolbar);
    long iconIndex() const { return iconIndex_; }
    void setIconIndex(long index);
    uint16_t commandId() const { return commandId_; }
    void setCommandId(uint16_t id) { commandId_ = id; }

    // Whether the action may run on a node of `objectType` (documents and
    // web items only when it needs an item; a capabilities mask of 0 puts
    // no other limit).
    bool appliesTo(long objectType) const;

    // Refreshes the action before it runs: a record that vanished, or that
    // another user changed since this node read it, fails with 36 and marks
    // the node stale (the caller drops it: USRActions::run).
    bool read(long& error) override;
    // Runs the action on `item` (none: alone). 50 for an item that is no
    // document or web item when the action needs one; failures of the
    // refresh or of the start (codes below 33) are returned.
    bool run(USRNode* item, long& error);

  protected:
    void takeRecord(const DIRCommonInfo& record) override;
    void fillRecord(DIRCommonInfo& record) const override;

  private:
    std::string commandLine_;
    std::string startDirectory_;
    long showMode_ = usraction::kShowNormal;
    bool needsItem_ = false;
    long capabilities_ = 0;
    bool toolbarFlag_ = false;
    long iconIndex_ = -1;
    uint16_t commandId_ = kNoCommandId;
};

std::unique_ptr<USRNode> USRMakeActionNode(USRContext& context);

// What an action runs on: a document's file path (normalised), a web
// item's URL; "" for no item. 50 when `item` is neither and `needsItem`.
bool USRActionItem(USRNode* item, bool needsItem, std::string& text, long& error);
