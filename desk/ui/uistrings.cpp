#include "uistrings.h"

namespace desk::ui {
namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry kStrings[] = {
    {kStrTabDesktop, "My Desktop"},
    {kStrTabInbox, "My Inbox"},
    {kStrColName, "Name"},
    {kStrColType, "Type"},
    {kStrColDescription, "Description"},
    {kStrTypeDocument, "Document"},
    {kStrTypeWeb, "Web"},
    {kStrTypeFolder, "Folder"},
    {kStrTypePeople, "People"},
    {kStrTypeGeneric, "Generic"},
    {kStrContentsOf, "Contents of "},
    {kStrDescriptionOf, "Description of "},
    {kStrInboxRoot, "My Inbox"},
    {kStrClipboardOpen, "Failed to open Clipboard!"},
    {kStrDesktopRoot, "My Desktop"},
    {kStrClipboardData, "Failed to get Clipboard data!"},
    {kStrCancel, "&Cancel"},
    {kStrPublish, "&Publish"},
    {kStrRecipient, "Recipient"},
    {kStrListGroupMember, "List/Group Member"},
    {kStrStatus, "Status"},
    {kStrSent, "Sent"},
    {kStrPublishing, "Publishing..."},
    {kStrDone, "Done"},
    {kStrFileOf, "File %1 of %2"},
    {kStrCopying, "Copying %1 to %2"},
    {kStrComplete, "%1% complete"},
    {kStrSystemError, "System  Error  "},
    {kStrFolderExists, "Folder already exists."},
    {kStrLockedNoPublish, "Folder is locked, cannot publish:"},
    {kStrBuildingList, "Building deletion list ...."},
    {kStrFinishedDeleting, "Finished deleting."},
    {kStrHostError, "This following error was returned by the host operating system:"},
    {kStrQordaError, "Qorda Error: "},
    {kStrDesktopToolbar, "Desktop Toolbar"},
    {kStrAppTitle, "Namewright Desktop"},
};

} // namespace

QString uiString(int id) {
    for (const Entry& e : kStrings)
        if (e.id == id) return QString::fromUtf8(e.text);
    return {};
}

} // namespace desk::ui
