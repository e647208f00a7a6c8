// The desktop's command table: every menu, accelerator and toolbar command
// with its id, menu place, prompt, keys, picture, who handles it and when it
// is enabled. The frame builds its menus, toolbar and shortcuts from these
// rows; handlers are attached by id, and a command without a handler stays
// disabled.
#pragma once

#include "art.h"
#include "commandids.h"
#include "commandstate.h"

#include <QString>
#include <span>

namespace desk::ui {

// Who carries a command out (the frame asks in this order: view, document,
// frame, application).
enum class Route { View, Document, Frame, Application };

using Enabler = bool (*)(const CommandState&);
using Checker = bool (*)(const CommandState&);

struct CommandSpec {
    int id;
    const char* menu;   // "&File/&New": where the item sits; nullptr: no menu item
    const char* text;   // the item's text with its mnemonic
    const char* prompt; // the status bar prompt; "" for none
    const char* keys;   // accelerators separated by ';', or nullptr
    Art art;
    bool hasArt;
    Route route;
    Enabler enabled;
    Checker checked; // nullptr: not a check item
};

// Every command, in menu order.
std::span<const CommandSpec> commandTable();

// The row of a command id; nullptr when the table has none.
const CommandSpec* findCommand(int id);

// Whether a command is enabled in `state` (the row's rule; false for an
// unknown id). Action buttons (1000..2999) are decided by the actions bar.
bool commandEnabled(int id, const CommandState& state);

// Whether an actions bar button applies: an action for no particular item
// (use-with mask 0) always does; otherwise exactly one item must be selected
// and its kind must be in the mask.
bool actionButtonEnabled(int useWithMask, const CommandState& state);

// A place in a menu that is not the main menu: `id` 0 is a separator; `path`
// names the submenu ("" for the menu itself).
struct PopupRow {
    const char* path;
    int id;
};

// The desktop toolbar, left to right (0 is a separator).
std::span<const int> desktopToolbar();

// Pop-up menus: 124 folder tree, 132 contents list, 226 inbox offer, 285
// actions toolbar.
enum PopupId : int {
    kPopupTree = 124,
    kPopupContents = 132,
    kPopupOffer = 226,
    kPopupActions = 285
};
std::span<const PopupRow> popupMenu(PopupId id);

// The menu text without its mnemonic marker and trailing dots ("&Paste" ->
// "Paste"): the default tool tip.
QString plainText(const CommandSpec& spec);

} // namespace desk::ui
