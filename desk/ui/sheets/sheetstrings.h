// The numbers of the texts the property sheets show; the texts themselves
// are in the desktop's one string table (core/strings.h).
#pragma once

#include <QString>
#include <QStringList>

namespace desk::sheets {

enum SheetStringId : long {
    kStrNewFolder = 108,
    kStrFolderProperties = 109,
    kStrColMember = 110,
    kStrColModerator = 112,
    kStrFontBox = 125,
    kStrFontSizeBox = 126,
    kStrDefaultFont = 131,
    kStrBusinessCard = 135,
    kStrSelectDocument = 160,
    kStrSelectOk = 161,
    kStrActions = 163,
    kStrGettingActionInfo = 164,
    kStrDeletePersonalAction = 167,
    kStrRemoveModerator = 181,
    kStrDeletingAction = 182,
    kStrSelectDirectory = 183,
    kStrCreateSharedAction = 184,
    kStrParameterPlaceholder = 185,
    kStrDeleteSharedAction = 186,
    kStrShareActionQuestion = 187,
    kStrRemovingFromToolbar = 188,
    kStrColContributor = 190,
    kStrColReader = 191,
    kStrShareDirUnreadable = 195,
    kStrOfferCopy = 196,
    kStrStillLocal = 197,
    kStrShared = 198,
    kStrPersonal = 199,
    kStrNameNotValid = 3552,
    kStrNotAUser = 3554,
    kStrOneModerator = 5002,
    kStrNameRequired = 5004,
    kStrFileRequired = 5011,
    kStrInvalidFile = 5016,
    kStrStartDirNotShared = 5018,
    kStrProgramNotShared = 5019,
    kStrActionsToolbar = 32835,
};

// The text of string `id`.
QString sheetString(long id);
// sheetString(id) with each "%s" replaced by the next of `args`.
QString sheetFormat(long id, const QStringList& args);

} // namespace desk::sheets
