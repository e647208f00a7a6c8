#include "actionedits.h"

#include "actionrules.h"
#include "core/prompter.h"
#include "files/usrfile.h"
#include "sheetstrings.h"

namespace desk::sheets {

ActionValues actionValues(const USRActionNode& a) {
    ActionValues v;
    v.name = QString::fromStdString(a.name());
    v.description = QString::fromStdString(a.data().description);
    const ActionCommand c = splitActionCommand(QString::fromStdString(a.commandLine()));
    v.executable = c.executable;
    v.parameters = c.parameters;
    v.startDirectory = QString::fromStdString(a.startDirectory());
    v.showMode = showModeOfRunIndex(runIndexOfShowMode(a.showMode()));
    v.iconIndex = int(a.iconIndex());
    v.useWith = int(a.capabilities()) & (kUseDocuments | kUseWebItems);
    v.shared = a.isShared();
    return v;
}

USRActions::Definition actionDefinition(const ActionValues& v) {
    USRActions::Definition d;
    d.name = v.name.toStdString();
    d.description = v.description.toStdString();
    d.commandLine = joinActionCommand(v.executable, v.parameters).toStdString();
    d.startDirectory = v.startDirectory.toStdString();
    d.shared = v.shared;
    d.needsItem = v.useWith != 0;
    d.showMode = showModeOfRunIndex(runIndexOfShowMode(v.showMode));
    d.iconIndex = v.iconIndex;
    d.capabilities = v.useWith;
    return d;
}

ActionCheck checkAction(USRActions& actions, USRPrompter& prompter, ActionValues& v) {
    v.parameters = storedParameters(v.parameters, v.useWith);
    // Programs on a file service are kept in the network form.
    std::string program = v.executable.toStdString();
    if (!program.empty() && USRFile::normalise(program))
        v.executable = QString::fromStdString(program);
    if (v.name.trimmed().isEmpty()) {
        prompter.showMessage(sheetString(kStrNameRequired).toStdString());
        return ActionCheck::NoName;
    }
    if (v.executable.isEmpty() || !USRFile::isFile(v.executable.toStdString())) {
        prompter.showMessage(
            sheetString(v.executable.isEmpty() ? kStrFileRequired : kStrInvalidFile).toStdString());
        if (v.iconIndex < 0) v.iconIndex = 0;
        return ActionCheck::NoProgram;
    }
    if (!actions.checkSharedDefinition(actionDefinition(v))) return ActionCheck::Refused;
    return ActionCheck::Ok;
}

bool saveAction(USRActionNode& a, const ActionValues& v, long& error) {
    const USRActions::Definition d = actionDefinition(v);
    a.setName(d.name);
    a.setDescription(d.description);
    a.setCommandLine(d.commandLine);
    a.setStartDirectory(d.startDirectory);
    a.setShowMode(d.showMode);
    a.setIconIndex(d.iconIndex);
    a.setCapabilities(d.capabilities);
    a.setNeedsItem(d.needsItem);
    return a.write(error);
}

} // namespace desk::sheets
