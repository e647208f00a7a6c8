// The folder tree's pictures. Slots come in groups of four, two pairs of
// (normal, selected): a folder is inserted showing the second pair (n + 2)
// and each expand or collapse by the user swaps it to the other pair of its
// group. The selected picture is always the picture + 1.
#pragma once

#include <QIcon>

namespace desk::ui {

enum TreeImage : int {
    kTreePersonal = 0,  // personal folder, group 0..3
    kTreeShared = 4,    // shared folder, group 4..7
    kTreeModerated = 8, // shared folder the user moderates, group 8..11
    kTreeRoot = 24,     // "My Desktop", group 24..27
    kTreeInbox = 28,    // "My Inbox", group 28..31
};

// The picture a folder item is inserted with.
int insertedImage(bool shared);
// After the user expanded or collapsed the item: even pictures swap pairs,
// odd ones stay.
int swappedImage(int image);
// A moderated shared folder's picture once it is selected: 8 for 0 and 4,
// 10 for 2 and 6; others stay.
int moderatorImage(int image);

// The icon of a slot (the first pair open, the second closed).
QIcon treeIcon(int image);

// The tab strip's pictures: 0 "My Desktop", 1 an empty inbox, 3 an inbox
// with folders on offer.
enum TabImage : int { kTabDesktop = 0, kTabInboxEmpty = 1, kTabInboxFull = 3 };
QIcon tabIcon(int image);

} // namespace desk::ui
