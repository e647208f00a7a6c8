// The window texts of the desktop's string table, by their fixed numbers.
// The store's error texts (3500 + code) come from DIRErrorText; everything a
// window shows by number comes from here, so a text is changed in one place.
#pragma once

#include <QString>

namespace desk::ui {

enum StringId : int {
    kStrTabDesktop = 115,
    kStrTabInbox = 116,
    kStrColName = 137,
    kStrColType = 138,
    kStrColDescription = 140,
    kStrTypeDocument = 141,
    kStrTypeWeb = 142,
    kStrTypeFolder = 143,
    kStrTypePeople = 144,
    kStrTypeGeneric = 145,
    kStrContentsOf = 146,
    kStrDescriptionOf = 147,
    kStrInboxRoot = 148,
    kStrClipboardOpen = 149,
    kStrDesktopRoot = 150,
    kStrClipboardData = 151,
    kStrCancel = 152,
    kStrPublish = 153,
    kStrRecipient = 154,
    kStrListGroupMember = 155,
    kStrStatus = 156,
    kStrSent = 157,
    kStrPublishing = 158,
    kStrDone = 159,
    kStrFileOf = 192,
    kStrCopying = 193,
    kStrComplete = 194,
    kStrSystemError = 5000,
    kStrFolderExists = 5001,
    kStrLockedNoPublish = 5006,
    kStrBuildingList = 5007,
    kStrFinishedDeleting = 5008,
    kStrHostError = 5013,
    kStrQordaError = 5021,
    kStrDesktopToolbar = 32843,
    kStrAppTitle = 57344,
};

// The text of a window string; an empty string for a number the table lacks.
QString uiString(int id);

} // namespace desk::ui
