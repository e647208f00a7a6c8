// Feeds arbitrary text as QORDA.INI: the INI reader, the comm-stack settings
// and the redirector's drive-mapping table read it. A bad file gives
// defaults or leaves entries out; it never crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "qrd/config.h"
#include "qrd/ini.h"
#include "redirector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    qrd::IniFile ini = qrd::IniFile::parse(in);
    qrd::CommStackConfig cfg = qrd::loadCommStackConfig(ini);
    // Port bases leave room for the 512 well-known ports.
    if (cfg.portBase == 0 || cfg.portBase > 65535 - 512) std::abort();
    for (const auto& d : qrd::fs::readDriveMappings(ini)) {
        if (d.drive < 1 || d.drive > 26) std::abort();
        if (d.service.size() >= NMNAMELEN || d.root.size() >= QRD_ROOT_LEN) std::abort();
    }
    ini.getLong("Client", "Version", 0);
    return 0;
}
