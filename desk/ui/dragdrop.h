// Drag and drop between the desktop's views and with other programs. A
// drag of desktop nodes carries the clipboard's text form (the nodes' full
// directory names joined by ", ") as text/plain, a marker type so that the
// views know it is the desktop's own, and text/uri-list for documents whose
// files are local, so that file managers take them too.
#pragma once

#include <Qt>

class QMimeData;
class USRFolderNode;

namespace desk::ui {

// The marker of a drag of desktop nodes.
inline constexpr char kDesktopNodesMime[] = "application/x-namedesk-nodes";

// What a drag in progress from the desktop's own views came from.
struct DesktopDrag {
    bool active = false;
    USRFolderNode* source = nullptr; // the folder the nodes were dragged out of
};
DesktopDrag& desktopDrag(); // main thread only

// The effect a drop of `data` on `target` is offered: none on the folder a
// desktop drag came from; for text, move while a desktop drag is in
// progress and Ctrl is not held, copy otherwise; files from other programs
// are linked; anything else is refused (Qt::IgnoreAction).
Qt::DropAction dropEffect(const QMimeData* data, const USRFolderNode* target, bool ctrlHeld);

} // namespace desk::ui
