// Process attach and detach of the library, and QrdDone.
//
// A library that cannot create the workstation's global-variable store
// refuses to load: the constructor prints why on stderr and aborts the
// process, the only way a shared library's constructor can refuse.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "globalstore.h"
#include "qrdapi.h"
#include "redirector.h"
#include "transport/lifecycle.h"

namespace qrd {
// Referenced by the modules that rely on the attach having run, so that a
// static link of the library never leaves the attach out.
extern const int kAttachAnchor;
const int kAttachAnchor = 1;
} // namespace qrd

namespace {

__attribute__((constructor)) void processAttach() {
    // The global lock, the ten further locks and the tasker's thread slot
    // are constant-initialised (frame/locks.h): nothing to set up or fail.
    QrdSetProtocolPref(QRD_PROT_QIP);
    std::string why;
    if (!qrd::gv::create(&why)) {
        std::fprintf(stderr,
                     "libqrdxapi: cannot create the workstation's global-variable store "
                     "(%s); the library refuses to load\n",
                     why.c_str());
        std::abort();
    }
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
