// Window texts by their fixed numbers, as QStrings. The one string table
// lives with the logic (core/strings.h); these are the numbers windows name.
#pragma once

#include <QString>
#include <QStringList>

namespace desk::ui {

enum StringId : long {
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
    kStrLockedDelete = 5005,
    kStrLockedNoPublish = 5006,
    kStrBuildingList = 5007,
    kStrFinishedDeleting = 5008,
    kStrDesktopToolbar = 32843,
    kStrAppTitle = 57344,
};

// The text of string `id`; empty for a number no table holds.
QString uiString(long id);

// uiString(id) with each "%s" or "%d" replaced by the next of `args`, and
// "%%" by "%".
QString uiFormat(long id, const QStringList& args);

} // namespace desk::ui
