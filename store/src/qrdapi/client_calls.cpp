#include "namedir/qrdclient.h"

const QrdClientCalls& qrdDefaultClientCalls() {
    static const QrdClientCalls calls = {
        .startNmSession = QrdStartNmSession,
        .endNmSession = QrdEndNmSession,
        .getClientVersionNumber = QrdGetClientVersionNumber,
        .breakNmName = QrdBreakNmName,
        .validateNmName = QrdValidateNmName,
        .getUserName = QrdGetUserName,
        .getDriveMapping = QrdGetDriveMapping,
        .formatSNmName = QrdFormatSNmName,
        .formatSNmGroup = QrdFormatSNmGroup,
        .formatSNmOrg = QrdFormatSNmOrg,
        .getSNmUserAttrib = QrdGetSNmUserAttrib,
        .listSNmNames = QrdListSNmNames,
        .getSNmListMembers = QrdGetSNmListMembers,
        .testSNmMembership = QrdTestSNmMembership,
        .getSNmAttrInfo = QrdGetSNmAttrInfo,
        .getSNmAttr = QrdGetSNmAttr,
        .setSNmAttr = QrdSetSNmAttr,
        .setSNmAttrIf = QrdSetSNmAttrIf,
        .deleteSNmAttr = QrdDeleteSNmAttr,
        .scanSNmAttr = QrdScanSNmAttr,
        .sendUserMsg = QrdSendUserMsg,
    };
    return calls;
}
