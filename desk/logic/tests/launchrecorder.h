// A launcher that records what would start, for tests.
#pragma once

#include <vector>

#include "actions/launcher.h"

class LaunchRecorder : public usraction::USRLauncher {
  public:
    long start(const usraction::LaunchRequest& request) override {
        started.push_back(request);
        return result;
    }
    std::vector<usraction::LaunchRequest> started;
    long result = 0;
};

// Installs a recorder for the scope of a test.
class RecordLaunches {
  public:
    RecordLaunches() : recorder(std::make_shared<LaunchRecorder>()) {
        previous_ = usraction::installLauncher(recorder);
    }
    ~RecordLaunches() { usraction::installLauncher(previous_); }
    std::shared_ptr<LaunchRecorder> recorder;

  private:
    std::shared_ptr<usraction::USRLauncher> previous_;
};
