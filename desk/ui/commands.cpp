#include "commands.h"

#include <algorithm>
#include <vector>

namespace desk::ui {
namespace {

// Enabling rules. Unless a rule says otherwise a command needs the user's
// desktop to be loaded.
bool always(const CommandState&) {
    return true;
}
bool loggedIn(const CommandState& s) {
    return s.loggedIn;
}
bool folderCurrent(const CommandState& s) {
    return s.loggedIn && s.folderCurrent;
}
bool addFolder(const CommandState& s) {
    return folderCurrent(s) && !s.inboxCurrent && !s.currentShared && s.mayChangeCurrent;
}
bool publish(const CommandState& s) {
    return folderCurrent(s) && s.currentShared && !s.inboxCurrent && s.selectionCount == 1 &&
           s.firstSelectedIsCurrent && s.moderatesCurrent && !s.firstSelectedLocked;
}
bool isItemKind(int kind) {
    return kind == kKindDocument || kind == kKindWeb || kind == kKindPeople || kind == kKindGeneric;
}
bool activate(const CommandState& s) {
    return s.loggedIn && s.selectionCount == 1 && isItemKind(s.singleSelectedKind);
}
// The folder that holds the first selected node may be changed: the current
// folder's parent when the current folder itself is selected (the tree),
// else the current folder (the contents list).
bool mayChangeHolder(const CommandState& s) {
    return s.firstSelectedIsCurrent ? s.mayChangeParent : s.mayChangeCurrent;
}
bool removable(const CommandState& s) {
    return s.loggedIn && s.selectionCount > 0 && !s.firstSelectedIsRoot &&
           !s.firstSelectedIsInbox && !s.inboxCurrent && !s.firstSelectedLocked &&
           mayChangeHolder(s);
}
bool copy(const CommandState& s) {
    return s.loggedIn && s.selectionCount > 0 && !s.firstSelectedIsRoot;
}
bool paste(const CommandState& s) {
    return folderCurrent(s) && s.clipboardHasData;
}
bool properties(const CommandState& s) {
    return s.loggedIn && s.selectionCount == 1 && !s.firstSelectedIsRoot &&
           !s.firstSelectedIsInbox &&
           (s.singleSelectedKind != kKindFolder || s.singleSelectedAccessible);
}
bool actionsBar(const CommandState& s) {
    return s.actionsBarHasButtons;
}
bool description(const CommandState& s) {
    return s.loggedIn && !s.currentIsRoot;
}
bool detailsOnly(const CommandState& s) {
    return s.loggedIn && s.viewMode == kModeDetails;
}
bool offer(const CommandState& s) {
    return s.loggedIn && s.offerPending;
}

bool checkedToolbar(const CommandState& s) {
    return s.toolbarVisible;
}
bool checkedStatusBar(const CommandState& s) {
    return s.statusBarVisible;
}
bool checkedActionsBar(const CommandState& s) {
    return s.actionsBarVisible;
}
bool inLargeIcons(const CommandState& s) {
    return s.viewMode == kModeLargeIcons;
}
bool inSmallIcons(const CommandState& s) {
    return s.viewMode == kModeSmallIcons;
}
bool inList(const CommandState& s) {
    return s.viewMode == kModeList;
}
bool inDetails(const CommandState& s) {
    return s.viewMode == kModeDetails;
}
bool inDescription(const CommandState& s) {
    return s.viewMode == kModeDescription;
}

constexpr const char* kFolder = "&File/&New/&Folder";
constexpr const char* kNew = "&File/&New";
constexpr const char* kFile = "&File";
constexpr const char* kCards = "&File/&Business Cards";
constexpr const char* kEdit = "&Edit";
constexpr const char* kView = "&View";
constexpr const char* kSort = "&View/Sort &By";
constexpr const char* kActions = "&Actions";
constexpr const char* kActionsNew = "&Actions/&New";
constexpr const char* kOptions = "&Options";
constexpr const char* kHelpMenu = "&Help";
constexpr const char* kNone = nullptr;

using enum Route;
using A = Art;

constexpr CommandSpec kCommands[] = {
    {kCmdNewPersonalFolder, kFolder, "&Personal...", "Add a Personal folder", nullptr,
     A::NewPersonalFolder, true, Document, addFolder, nullptr},
    {kCmdNewSharedFolder, kFolder, "&Shared...", "Add a Shared folder", nullptr, A::NewSharedFolder,
     true, Document, addFolder, nullptr},
    {kCmdNewDocument, kNew, "&Document...", "Add a Document item", nullptr, A::NewDocument, true,
     Document, folderCurrent, nullptr},
    {kCmdNewWebItem, kNew, "&Web Item...", "Add a web item", nullptr, A::NewWeb, true, Document,
     folderCurrent, nullptr},
    {kCmdUpdateInbox, kFile, "&Update Inbox", "Update Inbox", nullptr, A::UpdateInbox, true,
     Document, loggedIn, nullptr},
    {kCmdPublish, kFile, "&Publish...", "Publish Folder", nullptr, A::Publish, true, Document,
     publish, nullptr},
    {kCmdActivate, kFile, "&Activate...", "Do Action", nullptr, A::Action, true, Document, activate,
     nullptr},
    {kCmdEditCard, kCards, "&Edit...", "Modify Your Business Card", nullptr, A::BusinessCards,
     false, Document, loggedIn, nullptr},
    {kCmdBrowseCards, kCards, "&Browse...", "View Business Cards", nullptr, A::BusinessCards, true,
     Document, loggedIn, nullptr},
    {kCmdNamewrightBrowser, kFile, "Namewright Browser...", "Namewright Browser", nullptr,
     A::Browser, true, Document, loggedIn, nullptr},
    {kCmdDelete, kFile, "&Delete", "Delete", "Del", A::Delete, true, Document, removable, nullptr},
    {kCmdExit, kFile, "E&xit", "Quit the application; prompts to save documents", nullptr, A::Exit,
     true, Application, always, nullptr},
    {kCmdCut, kEdit, "Cu&t", "Cut the selection and put it on the Clipboard", "Ctrl+X;Shift+Del",
     A::Cut, true, Document, removable, nullptr},
    {kCmdCopy, kEdit, "&Copy", "Copy the selection and put it on the Clipboard", "Ctrl+C;Ctrl+Ins",
     A::Copy, true, Document, copy, nullptr},
    {kCmdPaste, kEdit, "&Paste", "Insert Clipboard contents", "Ctrl+V;Shift+Ins", A::Paste, true,
     Document, paste, nullptr},
    {kCmdProperties, kEdit, "&Properties", "Edit Properties", "Ctrl+P", A::Properties, true,
     Document, properties, nullptr},
    {kCmdToolbar, kView, "&Toolbar", "Show or hide the toolbar", nullptr, A::Details, false, Frame,
     always, checkedToolbar},
    {kCmdStatusBar, kView, "&Status Bar", "Show or hide the status bar", nullptr, A::Details, false,
     Frame, always, checkedStatusBar},
    {kCmdActionsBar, kView, "&Actions Bar", "Show or hide the Actions Bar", nullptr, A::Action,
     false, Frame, actionsBar, checkedActionsBar},
    {kCmdLargeIcons, kView, "Lar&ge Icons", "Large Icons", nullptr, A::LargeIcons, true, Document,
     loggedIn, inLargeIcons},
    {kCmdSmallIcons, kView, "S&mall Icons", "Small Icons", nullptr, A::SmallIcons, true, Document,
     loggedIn, inSmallIcons},
    {kCmdList, kView, "&List", "List", nullptr, A::List, true, Document, loggedIn, inList},
    {kCmdDetails, kView, "&Details", "Details", nullptr, A::Details, true, Document, loggedIn,
     inDetails},
    {kCmdDescription, kView, "D&escription", "View Folder Description", nullptr, A::Description,
     true, Document, description, inDescription},
    {kCmdSortName, kSort, "&Name", "", nullptr, A::List, false, Document, detailsOnly, nullptr},
    {kCmdSortType, kSort, "&Type", "", nullptr, A::List, false, Document, detailsOnly, nullptr},
    {kCmdSortDescription, kSort, "&Description", "", nullptr, A::List, false, Document, detailsOnly,
     nullptr},
    {kCmdRefresh, kView, "&Refresh", "Refresh Current Folder", "F5", A::Refresh, true, Document,
     loggedIn, nullptr},
    {kCmdNewPersonalAction, kActionsNew, "&Personal...", "Add a Personal. Action", nullptr,
     A::Action, false, Document, loggedIn, nullptr},
    {kCmdNewSharedAction, kActionsNew, "&Shared...", "Add a Shared Action", nullptr, A::Action,
     false, Document, loggedIn, nullptr},
    {kCmdConfigureActions, kActions, "&Configure...",
     "Actions Definition and Toolbar Customization", nullptr, A::Action, false, Document, loggedIn,
     nullptr},
    {kCmdNewActionFromPath, kNone, "Desktop Toolbar", "Desktop Toolbar", nullptr, A::Action, false,
     Document, loggedIn, nullptr},
    {kCmdPreferences, kOptions, "&Preferences...", "Set or Modify Preferences", nullptr,
     A::Properties, false, Document, loggedIn, nullptr},
    {kCmdHelpTopics, kHelpMenu, "&Help Topics", "List Help topics", "F1", A::ContextHelp, false,
     Frame, always, nullptr},
    {kCmdAbout, kHelpMenu, "&About Namewright Desktop...",
     "Display program information, version number and copyright", nullptr, A::About, true,
     Application, always, nullptr},
    {kCmdSubscribe, kNone, "&Subscribe", "Subscribe to Folder", nullptr, A::SharedFolder, true,
     Document, offer, nullptr},
    {kCmdDontSubscribe, kNone, "&Don't Subscribe", "Do Not Subscribe to Folder", nullptr, A::Delete,
     true, Document, offer, nullptr},
    {kCmdInstallStandardActions, kNone, "Install Standard Actions", "", "Ctrl+Alt+Shift+F12",
     A::Action, false, Document, loggedIn, nullptr},
    {kCmdContextHelp, kNone, "What's &This?",
     "Display help for clicked on buttons, menus and windows", "Shift+F1", A::ContextHelp, true,
     Frame, always, nullptr},
    {kCmdNextPane, kNone, "Next Pane", "Switch to the next window pane", "F6", A::Details, false,
     Frame, always, nullptr},
    {kCmdPrevPane, kNone, "Previous Pane", "Switch back to the previous window pane", "Shift+F6",
     A::Details, false, Frame, always, nullptr},
};

constexpr int kToolbar[] = {
    kCmdCut,
    kCmdCopy,
    kCmdPaste,
    0,
    kCmdDelete,
    0,
    kCmdProperties,
    0,
    kCmdNewPersonalFolder,
    kCmdNewSharedFolder,
    0,
    kCmdUpdateInbox,
    kCmdPublish,
    0,
    kCmdLargeIcons,
    kCmdSmallIcons,
    kCmdList,
    kCmdDetails,
    kCmdDescription,
    0,
    kCmdBrowseCards,
    0,
    kCmdNamewrightBrowser,
    0,
    kCmdContextHelp,
    kCmdAbout,
};

constexpr PopupRow kTreePopup[] = {
    {"", kCmdCut},
    {"", kCmdCopy},
    {"", kCmdPaste},
    {"", 0},
    {"", kCmdDelete},
    {"", 0},
    {"&New/&Folder", kCmdNewPersonalFolder},
    {"&New/&Folder", kCmdNewSharedFolder},
    {"&New", kCmdNewDocument},
    {"&New", kCmdNewWebItem},
    {"", kCmdProperties},
    {"", 0},
    {"", kCmdPublish},
};

constexpr PopupRow kOfferPopup[] = {{"", kCmdSubscribe}, {"", kCmdDontSubscribe}};

constexpr PopupRow kActionsPopup[] = {
    {"New &Action", kCmdNewPersonalAction},
    {"New &Action", kCmdNewSharedAction},
    {"", kCmdConfigureActions},
};

} // namespace

std::span<const CommandSpec> commandTable() {
    return kCommands;
}

const CommandSpec* findCommand(int id) {
    const auto* it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [id](const CommandSpec& c) { return c.id == id; });
    return it == std::end(kCommands) ? nullptr : it;
}

bool commandEnabled(int id, const CommandState& state) {
    const CommandSpec* spec = findCommand(id);
    return spec && spec->enabled(state);
}

bool actionButtonEnabled(int useWithMask, const CommandState& state) {
    if (!state.loggedIn) return false;
    if (useWithMask == 0) return true;
    return state.selectionCount == 1 && isItemKind(state.singleSelectedKind) &&
           (state.singleSelectedKind & useWithMask) != 0;
}

std::span<const int> desktopToolbar() {
    return kToolbar;
}

std::span<const PopupRow> popupMenu(PopupId id) {
    switch (id) {
    case kPopupTree:
        return kTreePopup;
    case kPopupContents: {
        // The contents list's menu is the tree's with Activate at the end.
        static const std::vector<PopupRow> rows = [] {
            std::vector<PopupRow> r(std::begin(kTreePopup), std::end(kTreePopup));
            r.push_back({"", kCmdActivate});
            return r;
        }();
        return rows;
    }
    case kPopupOffer:
        return kOfferPopup;
    case kPopupActions:
        return kActionsPopup;
    }
    return {};
}

QString plainText(const CommandSpec& spec) {
    QString text = QString::fromUtf8(spec.text);
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace desk::ui
