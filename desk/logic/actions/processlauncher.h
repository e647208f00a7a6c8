// Starts programs as processes of their own, detached from the desktop:
// fork, a second fork so that the desktop never waits for them, chdir and
// exec. An exec that fails reports its errno through a close-on-exec pipe,
// so a program that cannot start is an error and not a silent no-op. The
// program inherits standard input and output, not the desktop's other
// descriptors.
#pragma once

#include "launcher.h"

namespace usraction {

class USRProcessLauncher : public USRLauncher {
  public:
    long start(const LaunchRequest& request) override;
};

// A system code below 33 for an errno (the few that lie above become the
// nearest code below).
long launchCode(int errnum);

} // namespace usraction
