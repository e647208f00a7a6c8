// The attribute and list calls on the process's implicit session.
#include "qrdapi.h"

namespace {

// Runs `call` with the implicit session, starting it on first use.
template <class Call> QRDSTATUS onImplicit(Call&& call) {
    QRD_NM_SESS* sess = nullptr;
    if (QRDSTATUS st = QrdGetImplicitNmSession(&sess)) return st;
    return call(sess);
}

} // namespace

extern "C" {

QRDAPI QRDSTATUS QrdGetNmAttr(const char* name, uint16_t ocl, const AttrName* attr,
                              uint32_t* ulType, uint32_t* ulIndex, uint32_t* ulCount, void* buffer,
                              uint32_t* ulFlags) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdGetSNmAttr(s, name, ocl, attr, ulType, ulIndex, ulCount, buffer, ulFlags);
    });
}

QRDAPI QRDSTATUS QrdSetNmAttr(const char* name, uint16_t ocl, const AttrName* attr, uint32_t ulType,
                              uint32_t* ulIndex, uint32_t ulCount, const void* buffer,
                              uint32_t* ulFlags) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdSetSNmAttr(s, name, ocl, attr, ulType, ulIndex, ulCount, buffer, ulFlags);
    });
}

QRDAPI QRDSTATUS QrdDeleteNmAttr(const char* name, uint16_t ocl, const AttrName* attr) {
    return onImplicit([&](QRD_NM_SESS* s) { return QrdDeleteSNmAttr(s, name, ocl, attr); });
}

QRDAPI QRDSTATUS QrdGetNmAttrInfo(const char* name, uint16_t ocl, const AttrName* attr,
                                  uint32_t* ulType, uint32_t* ulCount, uint32_t* ulBytes) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdGetSNmAttrInfo(s, name, ocl, attr, ulType, ulCount, ulBytes);
    });
}

QRDAPI QRDSTATUS QrdScanNmAttr(const char* name, uint16_t ocl, const AttrName* firstAttr,
                               const AttrName* lastAttr, QRD_SCAN_PASS* pass, uint16_t* nCount,
                               AttrName* names) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdScanSNmAttr(s, name, ocl, firstAttr, lastAttr, pass, nCount, names);
    });
}

QRDAPI QRDSTATUS QrdListNmNames(const char* pattern, uint16_t objType, uint16_t category,
                                Catsel* catsel, uint16_t* uPassnum, NmRec* rec) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdListSNmNames(s, pattern, objType, category, catsel, uPassnum, rec);
    });
}

QRDAPI QRDSTATUS QrdGetNmListMembers(const char* listName, uint16_t* uPassnum, NmRec* rec) {
    return onImplicit(
        [&](QRD_NM_SESS* s) { return QrdGetSNmListMembers(s, listName, uPassnum, rec); });
}

QRDAPI QRDSTATUS QrdTestNmMembership(const char* objName, const char* listName, uint16_t flag,
                                     uint16_t* isMember) {
    return onImplicit(
        [&](QRD_NM_SESS* s) { return QrdTestSNmMembership(s, objName, listName, flag, isMember); });
}

QRDAPI QRDSTATUS QrdGetNmUserAttrib(const char* name, char* description,
                                    uint16_t* descriptionLength, uint8_t* address6, uint16_t* word1,
                                    uint16_t* word2, uint32_t* long1, uint32_t* long2) {
    return onImplicit([&](QRD_NM_SESS* s) {
        return QrdGetSNmUserAttrib(s, name, description, descriptionLength, address6, word1, word2,
                                   long1, long2);
    });
}

} // extern "C"
