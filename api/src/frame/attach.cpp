// Process attach and detach of the library, and QrdDone.
//
// The attach never ends its host: a workstation store that cannot be made
// now is tried again at each access, which reports 31 while it fails.
#include "commstack.h"
#include "globalstore.h"
#include "qrdapi.h"
#include "redirector.h"
#include "transport/lifecycle.h"

// A static link names this symbol (api/CMakeLists.txt) so that it runs the
// attach as the shared library does.
extern "C" const int qrdAttachAnchor;
extern "C" const int qrdAttachAnchor = 1;

namespace {

__attribute__((constructor)) void processAttach() {
    // The global lock, the ten further locks and the tasker's thread slot
    // are constant-initialised (base/locks.h): nothing to set up or fail.
    QrdSetProtocolPref(QRD_PROT_QIP);
    qrd::gv::create();
}

// Runs after the program's static destructors (and at dlclose): everything
// it touches lives in storage that outlives them.
__attribute__((destructor)) void processDetach() {
    qrd::rpcCacheCloseAll();
    // No daemon or tasker tables are kept by this build; the locks and the
    // thread slot need no release.
    qrd::gv::release();
    qrd::commStackClose();
    qrd::fs::deviceClose();
}

} // namespace

extern "C" QRDAPI QRDSTATUS QrdDone(void) {
    qrd::rpcCacheCloseAll();
    qrd::commStackClose();
    qrd::fs::deviceClose();
    return QRD_OK;
}
