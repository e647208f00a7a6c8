// Feeds arbitrary text as QORDA.INI: the INI reader, the comm-stack settings
// and the redirector's drive-mapping table read it. A bad file gives
// defaults or leaves entries out and is reported in short lines; it never
// crashes.
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
    // Each fault is one short line, however long the line it reports.
    for (const std::string& p : qrd::qordaIniProblems(ini))
        if (p.empty() || p.size() > 400 || p.find('\n') != std::string::npos) std::abort();
    // Port bases leave room for the 512 well-known ports.
    if (cfg.portBase == 0 || cfg.portBase > 65535 - 512) std::abort();
    for (const auto& d : qrd::fs::readDriveMappings(ini)) {
        if (d.drive < 1 || d.drive > 26) std::abort();
        if (d.service.size() >= NMNAMELEN || d.root.size() >= QRD_ROOT_LEN) std::abort();
    }
    ini.getLong("Client", "Version", 0);
    return 0;
}
