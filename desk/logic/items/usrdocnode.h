// USRDocNode: a document item, the link to a file. Its file path is kept in
// the network form (files/usrfile.h) so that it means the same on every
// workstation. In a shared folder the file must lie on a shared area
// (items/sharecopy.h offers the copy).
#pragma once

#include <memory>
#include <string>

#include "nodes/usritemnode.h"

class USRDocNode : public USRItemNode {
  public:
    explicit USRDocNode(USRContext& context);

    const std::string& filePath() const { return filePath_; }
    void setFilePath(const std::string& path);
    const std::string& secondText() const { return secondText_; }
    void setSecondText(const std::string& text);
    const std::string& creator() const { return creator_; }
    void setCreator(const std::string& name);

    // The document dialog with name, description, path and second text; on
    // OK, true when the name, description or path changed (or `force`).
    bool edit(bool editable, bool force) override;
    // With an action, runs it on this document; without, opens the file
    // with its default program.
    bool activate(USRNode* action, long& error) override;
    // Creates the record; the node takes its address and times.
    bool create(long& error);

  protected:
    void takeRecord(const DIRCommonInfo& record) override;
    void fillRecord(DIRCommonInfo& record) const override;

  private:
    std::string filePath_;
    std::string secondText_;
    std::string creator_;
};

std::unique_ptr<USRNode> USRMakeDocNode(USRContext& context);

// Creates `node`'s record (any kind), so that it takes its address.
bool USRCreateRecord(USRNode& node, long& error);
