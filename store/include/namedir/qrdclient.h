// The client API functions that the store calls, as one table.
//
// CQrdApi reaches the client library only through this table. The default
// table points at libqrdxapi; tests put a fake service in its place, and the
// benchmark wraps the default table to count exchanges. The table is read on
// every call, so a replacement takes effect at once for every thread.
#pragma once

#include <qrdapi.h>

#include "namedir/export.h"

struct QrdClientCalls {
    // Sessions
    decltype(&QrdStartNmSession) startNmSession;
    decltype(&QrdEndNmSession) endNmSession;
    decltype(&QrdGetClientVersionNumber) getClientVersionNumber;
    // Names (local: no exchange with a service)
    decltype(&QrdBreakNmName) breakNmName;
    decltype(&QrdValidateNmName) validateNmName;
    decltype(&QrdGetUserName) getUserName;
    decltype(&QrdGetDriveMapping) getDriveMapping;
    // Names through the service
    decltype(&QrdFormatSNmName) formatSNmName;
    decltype(&QrdFormatSNmGroup) formatSNmGroup;
    decltype(&QrdFormatSNmOrg) formatSNmOrg;
    decltype(&QrdGetSNmUserAttrib) getSNmUserAttrib;
    // Lists and membership
    decltype(&QrdListSNmNames) listSNmNames;
    decltype(&QrdGetSNmListMembers) getSNmListMembers;
    decltype(&QrdTestSNmMembership) testSNmMembership;
    // Attributes
    decltype(&QrdGetSNmAttrInfo) getSNmAttrInfo;
    decltype(&QrdGetSNmAttr) getSNmAttr;
    decltype(&QrdSetSNmAttr) setSNmAttr;
    decltype(&QrdSetSNmAttrIf) setSNmAttrIf;
    decltype(&QrdDeleteSNmAttr) deleteSNmAttr;
    decltype(&QrdScanSNmAttr) scanSNmAttr;
    // Messages
    decltype(&QrdSendUserMsg) sendUserMsg;
};

// The table that calls libqrdxapi directly.
NAMEDIR_EXPORT const QrdClientCalls& qrdDefaultClientCalls();
