// Where the frame opens and what it remembers: the last normal (restored)
// rectangle and the width of the folder column, kept in the "Settings"
// section of the desktop's profile between runs.
#pragma once

#include <QByteArray>
#include <QRect>

namespace desk::ui {

struct Placement {
    int folderViewWidth = 200;
    QRect frame; // the last normal rectangle; an empty one means "first run"
    QByteArray dockState;
};

// Read from and written to the profile of organisation "Halvex Applications",
// application "Namewright Desktop".
Placement loadPlacement();
void savePlacement(const Placement& placement);

// Fits a saved rectangle into the screen's area: width and height no larger
// than the screen, left and top pulled back so the whole frame shows. An
// empty size (a first run) is centred with `defaultSize`, itself fitted.
QRect fitToScreen(const QRect& saved, const QRect& screen, const QSize& defaultSize);

} // namespace desk::ui
