// The desktop's command ids. They are fixed numbers: the menus, accelerators,
// toolbars and tests name commands by them, and actions take 1000..2999.
#pragma once

namespace desk::ui {

enum CommandId : int {
    kCmdNewPersonalFolder = 32839,
    kCmdNewSharedFolder = 32840,
    kCmdNewDocument = 32818,
    kCmdNewWebItem = 32817,
    kCmdUpdateInbox = 32831,
    kCmdPublish = 32830,
    kCmdActivate = 32834,
    kCmdEditCard = 32813,
    kCmdBrowseCards = 32814,
    kCmdNamewrightBrowser = 32864,
    kCmdDelete = 32822,
    kCmdExit = 57665,
    kCmdCut = 57635,
    kCmdCopy = 57634,
    kCmdPaste = 57637,
    kCmdProperties = 32816,
    kCmdToolbar = 59392,
    kCmdStatusBar = 59393,
    kCmdActionsBar = 32783,
    kCmdLargeIcons = 32825,
    kCmdSmallIcons = 32826,
    kCmdList = 32824,
    kCmdDetails = 32823,
    kCmdDescription = 32829,
    kCmdSortName = 32844,
    kCmdSortType = 32845,
    kCmdSortNothing = 32846,
    kCmdSortDescription = 32847,
    kCmdRefresh = 32850,
    kCmdNewPersonalAction = 32841,
    kCmdNewSharedAction = 32842,
    kCmdConfigureActions = 32832,
    kCmdNewActionFromPath = 32843,
    kCmdPreferences = 32821,
    kCmdHelpTopics = 57667,
    kCmdAbout = 57664,
    kCmdSubscribe = 32819,
    kCmdDontSubscribe = 32820,
    kCmdInstallStandardActions = 32815,
    kCmdHelp = 57670,
    kCmdContextHelp = 57669,
    kCmdNextPane = 57680,
    kCmdPrevPane = 57681,
    kCmdEscape = 32768,
    kCmdUndo = 57643,
    kCmdFileNew = 57600,
    kCmdFileOpen = 57601,
    kCmdFileSave = 57603,
};

// Command ids the actions toolbar gives its buttons.
constexpr int kFirstActionCommand = 1000;
constexpr int kLastActionCommand = 2999;

// Contents view modes, in the order of their commands.
enum ViewMode : int {
    kModeLargeIcons = 0,
    kModeSmallIcons = 1,
    kModeList = 2,
    kModeDetails = 3,
    kModeDescription = 4,
};

// Node kinds, as bits (an action's use-with mask combines them).
enum NodeKind : int {
    kKindFolder = 1,
    kKindDocument = 2,
    kKindPeople = 4,
    kKindWeb = 8,
    kKindGeneric = 16,
    kKindRoot = 32,
    kKindAction = 64,
};

} // namespace desk::ui
