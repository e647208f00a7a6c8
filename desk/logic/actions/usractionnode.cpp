#include "actions/usractionnode.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "actions/launch.h"
#include "core/context.h"
#include "files/usrfile.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}
} // namespace

std::unique_ptr<USRNode> USRMakeActionNode(USRContext& context) {
    return std::make_unique<USRActionNode>(context);
}

USRActionNode::USRActionNode(USRContext& context) : USRNode(context, DIR_TYPE_ACTION) {}

USRActionNode::USRActionNode(USRContext& context, const DIRRefInfo& reference)
    : USRNode(context, DIR_TYPE_ACTION) {
    long ignored = 0;
    if (reference.address) setAddress(reference.address.get(), ignored);
    setName(reference.name);
    setDescription(reference.refText);
    data().shared = reference.shared != 0;
    capabilities_ = reference.refValue;
    clearChangeFlags();
}

void USRActionNode::setCommandLine(const std::string& line) {
    commandLine_ = line;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setStartDirectory(const std::string& dir) {
    startDirectory_ = dir;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setShowMode(long mode) {
    showMode_ = mode;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setNeedsItem(bool needs) {
    needsItem_ = needs;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setCapabilities(long mask) {
    capabilities_ = mask;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setToolbarFlag(bool onToolbar) {
    toolbarFlag_ = onToolbar;
    setChanged(CHANGED_FIELDS);
}
void USRActionNode::setIconIndex(long index) {
    iconIndex_ = index;
    setChanged(CHANGED_FIELDS);
}

bool USRActionNode::appliesTo(long objectType) const {
    bool item = objectType == DIR_TYPE_DOCUMENT || objectType == DIR_TYPE_WEB;
    if (needsItem_ && !item) return false;
    return capabilities_ == 0 || (capabilities_ & objectType) != 0;
}

void USRActionNode::takeRecord(const DIRCommonInfo& record) {
    auto* action = dynamic_cast<const DIRAction*>(&record);
    if (!action) return;
    commandLine_ = action->commandLine;
    startDirectory_ = action->startDirectory;
    showMode_ = action->showMode;
    iconIndex_ = action->iconIndex;
    capabilities_ = action->capabilities;
    needsItem_ = action->reserved != 0;
    toolbarFlag_ = action->initial != 0;
}

void USRActionNode::fillRecord(DIRCommonInfo& record) const {
    auto* action = dynamic_cast<DIRAction*>(&record);
    if (!action) return;
    action->commandLine = commandLine_;
    action->startDirectory = startDirectory_;
    action->showMode = showMode_;
    action->iconIndex = iconIndex_;
    action->capabilities = capabilities_;
    action->reserved = needsItem_ ? 1 : 0;
    action->initial = toolbarFlag_ ? 1 : 0;
}

bool USRActionNode::read(long& error) {
    if (!isLoaded()) return USRNode::read(error);
    if (!address()) return fail(error, DIR_ADDRESS_UNSET);
    DIRTime stamp = 0;
    long e = 0;
    if (!context().dir().getDateLastModified(*address(), stamp, e)) {
        e = USRVanished(e);
        if (e == DIR_OBJECT_MISSING) markStale();
        return fail(error, e);
    }
    // Changed by someone else: this node's command line may be outdated,
    // so it never runs; the library's next load brings the new one.
    if (stamp != dirTime()) {
        markStale();
        return fail(error, DIR_OBJECT_MISSING);
    }
    error = 0;
    return true;
}

bool USRActionItem(USRNode* item, bool needsItem, std::string& text, long& error) {
    text.clear();
    error = 0;
    if (!item) return true;
    if (auto* doc = dynamic_cast<USRDocNode*>(item)) {
        text = doc->filePath();
        if (!USRFile::normalise(text)) text = doc->filePath();
    } else if (auto* web = dynamic_cast<USRWebNode*>(item)) {
        text = web->url();
    } else if (needsItem) {
        return fail(error, DIR_NOT_SUPPORTED);
    }
    return true;
}

bool USRActionNode::run(USRNode* item, long& error) {
    std::string itemText;
    if (!USRActionItem(item, needsItem_, itemText, error)) return false;
    if (!read(error)) return false;
    // A program on a share gets its service's full name; a local command
    // line stays as written (normalising it would turn the slashes of its
    // arguments too).
    std::string line = commandLine_;
    if (USRFile::isNetworkPath(line) && !USRFile::normalise(line)) line = commandLine_;
    error = usraction::launch({line, itemText, startDirectory_, showMode_, "open"});
    return error == 0;
}
