// What the command enabling rules look at: a plain snapshot of the
// document, the selection, the views and the bars, taken when the menus and
// toolbars are brought up to date. Keeping the rules on a snapshot lets the
// rules stay pure functions that tests drive row by row.
#pragma once

namespace desk::ui {

struct CommandState {
    bool loggedIn = false;       // the user's business card is loaded
    bool folderCurrent = false;  // a folder is current (the inbox's offer counts)
    bool inboxCurrent = false;   // the current folder is an offer from the inbox
    bool currentIsRoot = false;  // the current folder is the desktop root
    bool currentShared = false;  // the current folder is a shared folder
    bool currentReadable = true; // the user may read the current folder
    bool mayChangeCurrent = false;
    bool moderatesCurrent = false;
    bool mayChangeParent = false; // the folder that holds the current one
    int selectionCount = 0;
    bool firstSelectedIsRoot = false;
    bool firstSelectedIsInbox = false;
    bool firstSelectedIsCurrent = false;  // the selection is the current folder itself
    bool firstSelectedLocked = false;     // a publish window or deletion holds it
    int singleSelectedKind = 0;           // a NodeKind bit; 0 unless exactly one is selected
    bool singleSelectedAccessible = true; // a folder the user has access to
    bool clipboardHasData = false;        // text, files or a pending desktop cut or copy
    bool offerPending = false;            // a folder on offer is shown
    int viewMode = 3;
    bool actionsBarHasButtons = false;
    bool actionsBarVisible = false;
    bool toolbarVisible = true;
    bool statusBarVisible = true;
};

} // namespace desk::ui
