// The workstation's login/logout broadcast on the D-Bus session bus: the
// login command emits it, the desktop listens. Its one argument is an int:
// 1 after a login, 0 after a logout.
#pragma once

namespace qrd {

constexpr const char* kLoginSignalPath = "/net/halvex/Namewright";
constexpr const char* kLoginSignalInterface = "net.halvex.Namewright.Workstation";
constexpr const char* kLoginSignalName = "VM_LOGINLOGOUT";

} // namespace qrd
