// The pictures of actions: the built-in action icon set, and a program's
// own icon as its desktop entry names it. The actions toolbar and the icon
// chooser both take an action's picture from actionIcon(), so they agree.
#pragma once

#include <QIcon>
#include <QString>
#include <string>

namespace desk::ui {

// Icon indexes: -1 is the program's own icon, 0..count-1 the built-in set.
constexpr int kProgramIconIndex = -1;
int actionIconCount();

// Built-in icon `index`; icon 0 for an index outside the set.
QIcon builtInActionIcon(int index);

// The icon of the installed desktop entry that starts `executable` (a theme
// name or an absolute file), else the generic program icon.
QIcon programIcon(const QString& executable);

QIcon actionIcon(int iconIndex, const QString& executable);

// The program a stored command line starts (its parameters split off).
QString programOfCommand(const std::string& commandLine);

} // namespace desk::ui
