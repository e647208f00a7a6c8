// The actions windows' small rules: the "&Run:" list against the stored show
// modes, the parameter placeholder an action that runs on items gets, the
// folder part of an executable's path, and the split of a stored command
// line into executable and parameters.
#pragma once

#include <QString>

namespace desk::sheets {

// Use-with bits.
constexpr int kUseDocuments = 2;
constexpr int kUseWebItems = 8;

// "&Run:" list index of a stored show mode (anything but 3 or 6 is Normal).
int runIndexOfShowMode(long showMode);
// The stored show mode of a "&Run:" list index.
long showModeOfRunIndex(int index);

// The parameters to store: trimmed, and the placeholder when the action
// gains a use-with mask without parameters.
QString storedParameters(const QString& parameters, int useWithMask);

// The executable's folder: up to the last separator.
QString folderOf(const QString& executable);

struct ActionCommand {
    QString executable;
    QString parameters;
};
ActionCommand splitActionCommand(const QString& commandLine);
QString joinActionCommand(const QString& executable, const QString& parameters);

} // namespace desk::sheets
