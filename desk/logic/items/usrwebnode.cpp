#include "items/usrwebnode.h"

#include <namedir/errors.h>

#include "actions/launch.h"
#include "actions/usractionnode.h"
#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "files/usrfile.h"
#include "items/urlforms.h"
#include "items/usrdocnode.h"

namespace {
constexpr long kStrUnrecognisedUrl = 5010;
constexpr const char* kNameRequired = "A name is required.";
constexpr const char* kUrlRequired = "A URL is required.";
} // namespace

std::unique_ptr<USRNode> USRMakeWebNode(USRContext& context) {
    return std::make_unique<USRWebNode>(context);
}

USRWebNode::USRWebNode(USRContext& context) : USRItemNode(context, DIR_TYPE_WEB) {}

void USRWebNode::setUrl(const std::string& url) {
    url_ = url;
    setChanged(CHANGED_FIELDS);
}

void USRWebNode::takeRecord(const DIRCommonInfo& record) {
    if (auto* web = dynamic_cast<const DIRWebItem*>(&record)) url_ = web->url;
}

void USRWebNode::fillRecord(DIRCommonInfo& record) const {
    if (auto* web = dynamic_cast<DIRWebItem*>(&record)) web->url = url_;
}

bool USRWebNode::edit(bool editable, bool force) {
    USRPrompter& prompter = context().prompter();
    QVariantMap values{{"name", QString::fromStdString(name())},
                       {"description", QString::fromStdString(data().description)},
                       {"url", QString::fromStdString(url_)},
                       {"editable", editable}};
    // The dialog stays open (is shown again with what was typed) until its
    // values pass or the person cancels.
    for (;;) {
        if (prompter.runDialog(USRDialog::WebItem, values) != USR_REPLY_OK) return false;
        if (!editable) return false;
        std::string newName = values.value("name").toString().toStdString();
        std::string newUrl = values.value("url").toString().toStdString();
        if (newName.empty()) {
            prompter.showMessage(kNameRequired);
            continue;
        }
        if (newUrl.empty()) {
            prompter.showMessage(kUrlRequired);
            continue;
        }
        if (!USRIsKnownUrlForm(newUrl) &&
            !prompter.askYesNo(USRString(kStrUnrecognisedUrl), USRIcon::Question))
            continue;
        std::string newDescription = values.value("description").toString().toStdString();
        bool changed = newName != name() || newDescription != data().description || newUrl != url_;
        if (!changed && !force) return false;
        setName(newName);
        setDescription(newDescription);
        setUrl(newUrl);
        return true;
    }
}

bool USRWebNode::activate(USRNode* action, long& error) {
    if (auto* a = dynamic_cast<USRActionNode*>(action)) return a->run(this, error);
    std::string url = USRShortcutUrl(url_);
    if (!USRWriteTemporaryShortcut(url, error)) return false;
    // The shortcut goes to the program registered for Internet shortcuts;
    // where the desktop has none, the opener takes the URL itself.
    std::string program;
    long ignored = 0;
    const std::string& shortcut = USRTemporaryShortcutPath();
    error = USRFile::programForFile(shortcut, program, ignored)
                ? usraction::openWithDefaultProgram(shortcut)
                : usraction::openWithOpener(url);
    return error == 0;
}

bool USRWebNode::create(long& error) {
    return USRCreateRecord(*this, error);
}
