#include "backend.h"

namespace browse {

BackendFactory& backendFactory() {
    static BackendFactory factory = [](std::unique_ptr<DirectoryBackend>&) {
        return QRDSTATUS(QRDERR_NOT_AVAILABLE);
    };
    return factory;
}

} // namespace browse
