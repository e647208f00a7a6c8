// Test environment: every test process gets a workstation of its own (its own
// QORDA.INI, port base, configuration folders and global-variable store), so
// tests run in parallel without touching the real workstation.
//
// The test main (testmain.cpp) sets the workstation up and re-executes the
// test binary once, so that the library's process attach already sees it.
#pragma once

#include <cstdint>
#include <string>

namespace qrdtest {

struct Workstation {
    std::string dir;       // temporary folder, removed at exit
    std::string qordaIni;  // $QORDA_INI
    uint16_t portBase = 0; // [CommStack] PortBase, unique among running tests
    uint16_t ipPort = 0;   // UDP port of the Internet road (inside the slot)
};

// The workstation of this test process.
const Workstation& workstation();

// Appends text to this workstation's QORDA.INI (before the library reads it).
void appendQordaIni(const std::string& text);

// Directory of the build tree (QRD_TEST_BINARY_DIR), for finding programs.
std::string binaryDir();

// Internal to testmain.cpp.
bool prepareAndReexec(int argc, char** argv);
void adoptWorkstation();

} // namespace qrdtest
