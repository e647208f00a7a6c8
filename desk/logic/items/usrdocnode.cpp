#include "items/usrdocnode.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "actions/launch.h"
#include "actions/usractionnode.h"
#include "core/context.h"
#include "core/prompter.h"
#include "files/usrfile.h"

std::unique_ptr<USRNode> USRMakeDocNode(USRContext& context) {
    return std::make_unique<USRDocNode>(context);
}

bool USRCreateRecord(USRNode& node, long& error) {
    std::unique_ptr<DIRCommonInfo> record = node.makeRecord();
    long e = 0;
    if (!node.context().dir().createNode(*record, e)) {
        error = e;
        return false;
    }
    node.takeWhole(*record);
    node.clearChangeFlags();
    error = 0;
    return true;
}

USRDocNode::USRDocNode(USRContext& context) : USRItemNode(context, DIR_TYPE_DOCUMENT) {}

void USRDocNode::setFilePath(const std::string& path) {
    filePath_ = path;
    setChanged(CHANGED_FIELDS);
}
void USRDocNode::setSecondText(const std::string& text) {
    secondText_ = text;
    setChanged(CHANGED_FIELDS);
}
void USRDocNode::setCreator(const std::string& name) {
    creator_ = name;
    data().creator = name;
    setChanged(CHANGED_FIELDS);
}

void USRDocNode::takeRecord(const DIRCommonInfo& record) {
    auto* doc = dynamic_cast<const DIRDocItem*>(&record);
    if (!doc) return;
    filePath_ = doc->documentText1;
    secondText_ = doc->documentText2;
    creator_ = doc->documentText3;
}

void USRDocNode::fillRecord(DIRCommonInfo& record) const {
    auto* doc = dynamic_cast<DIRDocItem*>(&record);
    if (!doc) return;
    doc->documentText1 = filePath_;
    doc->documentText2 = secondText_;
    doc->documentText3 = creator_;
}

bool USRDocNode::edit(bool editable, bool force) {
    QVariantMap values{{"name", QString::fromStdString(name())},
                       {"description", QString::fromStdString(data().description)},
                       {"path", QString::fromStdString(filePath_)},
                       {"text2", QString::fromStdString(secondText_)},
                       {"editable", editable},
                       {"mustBeShared", isShared()}};
    if (context().prompter().runDialog(USRDialog::DocumentItem, values) != USR_REPLY_OK)
        return false;
    std::string newName = values.value("name").toString().toStdString();
    std::string newDescription = values.value("description").toString().toStdString();
    std::string newPath = values.value("path").toString().toStdString();
    std::string newText2 = values.value("text2").toString().toStdString();
    // Stored paths are in the network form, so that other workstations
    // reach the same file.
    if (!USRFile::normalise(newPath)) newPath = values.value("path").toString().toStdString();
    bool changed =
        newName != name() || newDescription != data().description || newPath != filePath_;
    if (!changed && !force) return false;
    setName(newName);
    setDescription(newDescription);
    setFilePath(newPath);
    setSecondText(newText2);
    return true;
}

bool USRDocNode::activate(USRNode* action, long& error) {
    if (auto* a = dynamic_cast<USRActionNode*>(action)) return a->run(this, error);
    error = usraction::openWithDefaultProgram(filePath_);
    return error == 0;
}

bool USRDocNode::create(long& error) {
    return USRCreateRecord(*this, error);
}
