// The desktop's pictures: each one is a freedesktop theme icon when the
// user's theme has it, and otherwise our own artwork, drawn as vectors so it
// is sharp at every size and scale (1x, 2x, fractional).
#pragma once

#include <QIcon>

class QPainter;

namespace desk::ui {

enum class Art {
    Cut,
    Copy,
    Paste,
    Delete,
    Properties,
    NewPersonalFolder,
    NewSharedFolder,
    NewDocument,
    NewWeb,
    UpdateInbox,
    Publish,
    LargeIcons,
    SmallIcons,
    List,
    Details,
    Description,
    BusinessCards,
    Browser,
    ContextHelp,
    About,
    Refresh,
    Exit,
    PersonalFolder,
    SharedFolder,
    ModeratedFolder,
    DesktopRoot,
    Inbox,
    InboxFull,
    Document,
    Web,
    Person,
    Generic,
    Action,
    Application,
};

// The theme's icon for `art`, with our artwork as the fallback.
QIcon deskIcon(Art art);

// Our own artwork only (the fixed image slots, where a theme icon must not
// change what a slot means).
QIcon ownIcon(Art art);

// The link overlay drawn over items' images.
QIcon linkOverlay();

// A picture drawn by `draw` in a 16 x 16 box, sharp at every size.
QIcon drawnIcon(void (*draw)(QPainter&));

} // namespace desk::ui
