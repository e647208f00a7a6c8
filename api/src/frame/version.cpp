#include "qrdapi.h"

extern "C" QRDAPI QRDSTATUS QrdGetApiVersion(QRD_API_VERSION* version) {
    if (!version) return QRDERR_BAD_ARG;
    version->words[0] = 5;
    version->words[1] = 600;
    version->words[2] = 0;
    version->words[3] = 0;
    return QRD_OK;
}
