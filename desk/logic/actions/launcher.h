// The seam through which the desktop starts programs. The logic decides what
// to start (launch.h); a launcher only starts it. Tests install a recorder.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace usraction {

constexpr long kShowNormal = 1;

struct LaunchRequest {
    enum class Kind {
        Direct,          // an executable, started with its arguments
        OpenWithDefault, // a file or URL handed to the desktop's opener
    };
    Kind kind = Kind::Direct;
    std::string program; // Direct: the executable's path; OpenWithDefault: the opener
    std::vector<std::string> arguments;
    std::string workingDirectory; // "" keeps the desktop's own
    // The window show state asked for. Linux has no way to hand it to a new
    // program's first window; it is kept for launchers that can.
    long showMode = kShowNormal;
    std::string verb = "open";
};

class USRLauncher {
  public:
    virtual ~USRLauncher() = default;
    // 0 when the program started, else a system code below 33.
    virtual long start(const LaunchRequest& request) = 0;
};

// The launcher in use: the process launcher unless one was installed.
// Main thread only.
USRLauncher& launcher();
// Installs `replacement` (null restores the process launcher) and returns
// the one it replaces.
std::shared_ptr<USRLauncher> installLauncher(std::shared_ptr<USRLauncher> replacement);

} // namespace usraction
