#include "actions/usractions.h"

#include <algorithm>

#include <QStringList>
#include <namedir/directory.h>
#include <namedir/errors.h>

#include "actions/commandline.h"
#include "actions/programpath.h"
#include "actions/standardactions.h"
#include "core/context.h"
#include "core/notifier.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "files/usrfile.h"
#include "folders/usrfoldernode.h"
#include "items/usrdocnode.h"
#include "nodes/usritemnode.h"
#include "nodes/usrnoderegistry.h"

namespace {

constexpr long kStrGettingActionInfo = 164;
constexpr long kStrStandardAction = 168;
constexpr long kStrToolbarFull = 2999;
constexpr long kStrActionGone = 5012;
constexpr long kStrStartDirNotShared = 5018;
constexpr long kStrProgramNotShared = 5019;
constexpr long kStrActionProblem = 5023;

bool fail(long& error, long code) {
    error = code;
    return false;
}

bool isGone(long code) {
    return code == DIR_OBJECT_MISSING || code == DIR_ATTR_MISSING || code == DIR_WRONG_TYPE;
}

bool isEmptyList(long code) {
    return code == DIR_LIST_EMPTY || code == DIR_COLLECTION_EMPTY;
}

stNewItemRefEntry referenceOf(const USRActionNode& action) {
    stNewItemRefEntry ref = action.makeReference();
    ref.refValue = action.capabilities();
    return ref;
}

} // namespace

USRActions::USRActions(USRContext& context) : context_(context) {}

bool USRActions::loadToolbar(long& error) {
    return load(true, error);
}
bool USRActions::loadLibrary(long& error) {
    return load(false, error);
}

bool USRActions::load(bool toolbar, long& error) {
    std::vector<DIRRefInfo> refs;
    long e = 0;
    DIRDirectory& dir = context_.dir();
    bool ok = toolbar ? dir.getActionToolbar(refs, e) : dir.getActionLibrary(refs, e);
    if (!ok && !isEmptyList(e)) return fail(error, e);
    std::vector<USRActionNode*>& list = toolbar ? toolbar_ : library_;
    list.clear();
    USRNodeRegistry& registry = context_.folders();
    for (const DIRRefInfo& ref : refs) {
        if (ref.objectType != DIR_TYPE_ACTION || !ref.address) continue;
        USRNode* known = nullptr;
        long le = 0;
        if (registry.lookup(ref.address->uniqueKey, known, le)) {
            if (auto* action = dynamic_cast<USRActionNode*>(known)) list.push_back(action);
            continue;
        }
        std::unique_ptr<USRNode> node = std::make_unique<USRActionNode>(context_, ref);
        if (!node->read(le)) {
            if (isGone(le)) continue; // listed, but deleted meanwhile
            return fail(error, le);
        }
        auto* action = static_cast<USRActionNode*>(node.get());
        if (!registry.add(node, le)) continue;
        list.push_back(action);
    }
    numberToolbar();
    error = 0;
    return true;
}

void USRActions::numberToolbar() {
    for (USRActionNode* a : library_)
        a->setCommandId(USRActionNode::kNoCommandId);
    long id = kFirstCommandId;
    bool told = false;
    for (USRActionNode* a : toolbar_) {
        if (id > kLastCommandId) {
            a->setCommandId(USRActionNode::kNoCommandId);
            if (!told) context_.prompter().showMessage(USRString(kStrToolbarFull));
            told = true;
            continue;
        }
        a->setCommandId(uint16_t(id++));
    }
}

USRActionNode* USRActions::findByCommandId(long id) const {
    if (id < kFirstCommandId || id > kLastCommandId) return nullptr;
    for (USRActionNode* a : toolbar_)
        if (a->commandId() == id) return a;
    return nullptr;
}

std::vector<USRActionNode*> USRActions::actionsFor(long objectType) const {
    std::vector<USRActionNode*> out;
    for (USRActionNode* a : library_)
        if (a->appliesTo(objectType)) out.push_back(a);
    return out;
}

void USRActions::clear() {
    toolbar_.clear();
    library_.clear();
}

void USRActions::drop(USRActionNode* action) {
    auto erase = [&](std::vector<USRActionNode*>& list) {
        list.erase(std::remove(list.begin(), list.end(), action), list.end());
    };
    erase(toolbar_);
    erase(library_);
    long ignored = 0;
    context_.folders().removeAndDelete(action, ignored);
}

bool USRActions::run(USRActionNode* action, USRNode* item, long& error) {
    if (!action) return fail(error, DIR_OBJECT_MISSING);
    long e = 0;
    if (action->run(item, e)) {
        error = 0;
        return true;
    }
    if (action->isStale()) drop(action);
    return fail(error, e);
}

bool USRActions::reportRunFailure(long error) {
    USRPrompter& prompter = context_.prompter();
    if (isGone(error)) {
        prompter.showMessage(USRString(kStrActionGone));
        long ignored = 0;
        loadToolbar(ignored);
        return true;
    }
    if (error > 0 && error < 33)
        prompter.showMessage(USRErrorText(error) + USRString(kStrActionProblem));
    else
        prompter.showError(error);
    return false;
}

bool USRActions::runCommand(long commandId, USRNode* item, USRFolderNode* current,
                            bool mayChangeCurrent, USRNotifier* notifier) {
    long e = 0;
    if (item && !item->read(e)) {
        context_.prompter().showError(e);
        if (e == DIR_OBJECT_MISSING && current && mayChangeCurrent) {
            long ignored = 0; // a second 36 is not shown
            current->removeNode(*item, ignored);
            if (notifier) notifier->send(USR_HINT_FOLDER_REREAD, current);
        }
        return false;
    }
    USRActionNode* action = findByCommandId(commandId);
    if (!action) {
        reportRunFailure(DIR_OBJECT_MISSING);
        return false;
    }
    if (run(action, item, e)) return true;
    reportRunFailure(e);
    return false;
}

bool USRActions::doAction(USRItemNode& item) {
    long e = 0;
    if (!loadLibrary(e)) {
        context_.prompter().showMessage(USRErrorText(e, false, USRString(kStrGettingActionInfo)));
        return false;
    }
    std::vector<USRActionNode*> choices = actionsFor(item.objectType());
    QStringList names{QString::fromStdString(USRString(kStrStandardAction))};
    for (USRActionNode* a : choices)
        names << QString::fromStdString(a->name());
    QVariantMap values{{"actions", names}, {"index", 0}};
    if (context_.prompter().runDialog(USRDialog::SelectAction, values) != USR_REPLY_OK)
        return false;
    int index = values.value("index").toInt();
    bool ok = index <= 0 || size_t(index) > choices.size()
                  ? item.activate(nullptr, e)
                  : run(choices[size_t(index) - 1], &item, e);
    if (!ok) reportRunFailure(e);
    return ok;
}

USRActionNode* USRActions::create(const Definition& def, long& error) {
    if (def.name.empty() || def.commandLine.empty()) return fail(error, DIR_NAME_INVALID), nullptr;
    auto action = std::make_unique<USRActionNode>(context_);
    action->setName(def.name);
    action->setDescription(def.description);
    action->setCommandLine(def.commandLine);
    action->setStartDirectory(def.startDirectory);
    action->setNeedsItem(def.needsItem);
    action->setShowMode(def.showMode);
    action->setIconIndex(def.iconIndex);
    action->setCapabilities(def.capabilities);
    action->setToolbarFlag(def.toolbarFlag);
    action->data().shared = def.shared;
    long e = 0;
    if (!USRCreateRecord(*action, e)) return fail(error, e), nullptr;
    stNewItemRefEntry ref = referenceOf(*action);
    USRActionNode* raw = action.get();
    std::unique_ptr<USRNode> node = std::move(action);
    if (!context_.folders().add(node, e)) {
        USRNode* known = nullptr;
        long le = 0;
        // The same record registered already: that node stands.
        if (e != DIR_ALREADY_EXISTS ||
            !context_.folders().lookup(ref.address->uniqueKey, known, le))
            return fail(error, e), nullptr;
        raw = dynamic_cast<USRActionNode*>(known);
        if (!raw) return fail(error, DIR_WRONG_TYPE), nullptr;
    }
    if (!context_.dir().addActionToLibrary(ref, e)) {
        long ignored = 0;
        context_.dir().destroyNode(ref.address.get(), ignored);
        context_.folders().removeAndDelete(raw, ignored);
        return fail(error, e), nullptr;
    }
    library_.push_back(raw);
    error = 0;
    return raw;
}

bool USRActions::checkSharedDefinition(const Definition& def) {
    if (!def.shared) return true;
    USRPrompter& prompter = context_.prompter();
    if (!def.startDirectory.empty() && !USRFile::isOnSharedArea(def.startDirectory)) {
        prompter.showMessage(USRString(kStrStartDirNotShared));
        return false;
    }
    usraction::CommandParts parts = usraction::splitCommandLine(
        def.commandLine, [](const std::string& p) { return !usraction::programFile(p).empty(); });
    if (!USRFile::isOnSharedArea(parts.program))
        return prompter.askYesNo(USRString(kStrProgramNotShared), USRIcon::Question);
    return true;
}

bool USRActions::addToToolbar(USRActionNode* action, long& error) {
    stNewItemRefEntry ref = referenceOf(*action);
    if (!context_.dir().addActionToToolbar(ref, error)) return false;
    if (std::find(toolbar_.begin(), toolbar_.end(), action) == toolbar_.end())
        toolbar_.push_back(action);
    numberToolbar();
    return true;
}

bool USRActions::setToolbarOrder(const std::vector<USRActionNode*>& order, long& error) {
    std::vector<DIRRefInfo> refs;
    for (USRActionNode* a : order) {
        if (!a || !a->address()) return fail(error, DIR_ADDRESS_UNSET);
        refs.push_back(referenceOf(*a));
    }
    if (!context_.dir().setActionToolbar(refs, error)) return false;
    toolbar_ = order;
    numberToolbar();
    return true;
}

bool USRActions::remove(USRActionNode* action, long& error) {
    if (!action || !action->address()) return fail(error, DIR_ADDRESS_UNSET);
    DIRDirectory& dir = context_.dir();
    long e = 0;
    bool onToolbar = std::find(toolbar_.begin(), toolbar_.end(), action) != toolbar_.end();
    if (!dir.removeActionFromToolbar(action->address(), e) && onToolbar) return fail(error, e);
    if (!dir.removeActionFromLibrary(action->address(), e) && !isGone(e)) return fail(error, e);
    if (!dir.destroyNode(action->address(), e) && !isGone(e)) return fail(error, e);
    drop(action);
    error = 0;
    return true;
}

long USRActions::installStandard(long& error) {
    if (!loadToolbar(error) || !loadLibrary(error)) return 0;
    long added = 0;
    std::vector<USRActionNode*> library = library_;
    for (USRActionNode* a : library) {
        long e = 0;
        if (!a->read(e)) {
            if (a->isStale()) drop(a);
            continue;
        }
        bool onToolbar = std::find(toolbar_.begin(), toolbar_.end(), a) != toolbar_.end();
        if (a->toolbarFlag() && !onToolbar && addToToolbar(a, e)) ++added;
    }
    if (added == 0) {
        for (size_t i = 0; i < kUSRStandardActionCount; ++i) {
            Definition def;
            def.name = kUSRStandardActions[i].name;
            def.description = kUSRStandardActions[i].description;
            def.commandLine = kUSRStandardActions[i].commandLine;
            long e = 0;
            USRActionNode* a = create(def, e);
            if (!a) return fail(error, e), added;
            if (!addToToolbar(a, e)) return fail(error, e), added;
            ++added;
        }
    }
    error = 0;
    return added;
}
