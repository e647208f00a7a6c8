// The public header's Namewright codes are the status catalogue's
// (qrd/statuses.h): a code that drifts from it does not compile.
#include "qrd/statuses.h"
#include "qrdapi.h"

namespace qrd::nm {

static_assert(QRDERR_NM_REFERRAL == kReferral);
static_assert(QRDERR_NM_BAD_NAME == kBadName);
static_assert(QRDERR_NM_NAME_TOO_LONG == kNameTooLong);
static_assert(QRDERR_NM_NO_MEMORY == kNoMemory);
static_assert(QRDERR_NM_NOT_GROUP == kNotGroup);
static_assert(QRDERR_NM_NO_RECORD == kNoRecord);
static_assert(QRDERR_NM_NO_SESSION == kUnknownSession);
static_assert(QRDERR_NM_ATTRS_GONE == kAttrsRemoved);
static_assert(QRDERR_NM_SESSION_LOST == kSessionLost);
static_assert(QRDERR_NM_NO_MORE == kNoMoreNames);
static_assert(QRDERR_NM_DESC_TOO_SMALL == kDescriptionTooSmall);
static_assert(QRDERR_NM_NO_ATTR == kNoAttribute);
static_assert(QRDERR_NM_EMU_DAMAGED == kRecordDamaged);
static_assert(QRDERR_NM_BAD_ARG == kBadRequest);
static_assert(QRDERR_NM_REPLACE_INDEX == kReplaceNeedsIndex0);
static_assert(QRDERR_NM_CONDITION_FAILED == kConditionFailed);
static_assert(QRDERR_NM_BUFFER_SMALL == kBufferTooSmall);
static_assert(QRDERR_NM_NOT_LOGGED_IN == kNotLoggedIn);
static_assert(QRDERR_NM_KEYWORD_TOO_LONG == kKeywordTooLong);
static_assert(QRDERR_NM_NO_USER_NAME == kNoUserName);
static_assert(QRDERR_NMDA_LOGIN_CHANGED == kNmdaLoginChanged);
static_assert(QRDERR_NMDA_NO_ENTRY == kNmdaNoEntry);
static_assert(QRDERR_NMDA_ENTRY_STATUS == kNmdaEntryStatus);
static_assert(QRDERR_NOT_RESPONDING == kIssuerSilent);

} // namespace qrd::nm
