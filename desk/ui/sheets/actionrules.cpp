#include "actionrules.h"

#include "actions/commandline.h"
#include "actions/programpath.h"
#include "sheetstrings.h"

namespace desk::sheets {
namespace {
constexpr long kShowNormal = 1;
constexpr long kShowMinimised = 6;
constexpr long kShowMaximised = 3;
} // namespace

int runIndexOfShowMode(long showMode) {
    if (showMode == kShowMinimised) return 1;
    if (showMode == kShowMaximised) return 2;
    return 0;
}

long showModeOfRunIndex(int index) {
    constexpr long kModes[] = {kShowNormal, kShowMinimised, kShowMaximised};
    return index >= 0 && index < 3 ? kModes[index] : kShowNormal;
}

QString storedParameters(const QString& parameters, int useWithMask) {
    const QString p = parameters.trimmed();
    if (p.isEmpty() && useWithMask != 0) return sheetString(kStrParameterPlaceholder);
    return p;
}

QString folderOf(const QString& executable) {
    const qsizetype cut = std::max(executable.lastIndexOf(QLatin1Char('\\')),
                                   executable.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? QString() : executable.left(cut);
}

ActionCommand splitActionCommand(const QString& commandLine) {
    const usraction::CommandParts parts =
        usraction::splitCommandLine(commandLine.toStdString(), [](const std::string& p) {
            return !usraction::programFile(p).empty();
        });
    return {QString::fromStdString(parts.program), QString::fromStdString(parts.parameters)};
}

QString joinActionCommand(const QString& executable, const QString& parameters) {
    return parameters.isEmpty() ? executable : executable + QLatin1Char(' ') + parameters;
}

} // namespace desk::sheets
