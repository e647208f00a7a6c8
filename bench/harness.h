// What the benchmark needs around the measurements: a workstation of its own
// (temporary folder, QORDA.INI, port base, environment), child processes with
// time-outs, the daemon, and a stop on Ctrl-C.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// What every benchmark's main does once its options are parsed: a usage
// error (said after `program`) gives 2, --help prints `usage` and gives 0;
// otherwise the stop handlers are installed and `run` runs.
int benchMain(const char* program, bool parsed, const std::string& error, bool help,
              const char* usage, const std::function<int()>& run);

// SIGINT, SIGTERM and SIGHUP only set a flag; every wait below looks at it.
void installStopHandlers();
// The signal that asked to stop, or 0.
int stopSignal();
// Children start with the default actions again.
void resetStopHandlers();

// A temporary workstation. The port base is one of the slots of the test
// suite (/tmp/qrd-test-portbase-N.lock, 512 ports from 10240 + 512 N), held
// by a lock for as long as this process and its children live.
class Workspace {
  public:
    ~Workspace();
    // Makes the folder under `parent` (empty: $TMPDIR, else /tmp).
    bool create(const std::string& parent, std::string& error);
    // Sets QORDA_INI, QRD_WORKSTATION and the XDG and system folders for this
    // process and every child it starts; the library must be loaded after.
    void applyEnvironment() const;
    // Removes the folder (unless kept) and the workstation's shared blocks.
    void cleanup(bool keep);

    const std::string& dir() const { return dir_; }
    uint16_t portBase() const { return portBase_; }
    uint16_t ipPort() const { return uint16_t(portBase_ + 511); }
    const std::string& workstationId() const { return id_; }

  private:
    std::string dir_;
    std::string id_;
    uint16_t portBase_ = 0;
    int lockFd_ = -1;
};

struct ToolOutcome {
    int exitCode = -1; // -1: did not end in time, or died by a signal
    std::string out, err;
};

// Runs `path args...` with `input` on standard input and gives up (killing
// it) after `timeoutMs` or when a stop is asked for.
ToolOutcome runTool(const std::string& path, const std::vector<std::string>& args,
                    const std::string& input, int timeoutMs);

// A serving namewrightd. It is told to end when this process dies.
class Daemon {
  public:
    ~Daemon() { stop(); }
    // Starts `path serve args...` and waits for its ready line.
    // Standard error goes to `logPath`. With `cpu` >= 0 the daemon and all
    // its threads run on that CPU only.
    bool start(const std::string& path, const std::vector<std::string>& args,
               const std::string& logPath, int timeoutMs, std::string& error, int cpu = -1);
    // SIGTERM, then SIGKILL when it has not ended within `graceMs`.
    void stop(int graceMs = 3000);
    bool running() const { return pid_ > 0; }

  private:
    pid_t pid_ = 0;
    int out_ = -1;
};

// The CPUs this process may run on, in order.
std::vector<int> allowedCpus();
// Keeps the calling process (and the threads it starts later) on one CPU.
bool pinToCpu(int cpu);

// The load averages of /proc/loadavg ("1.20 0.80 0.50"), to tell a busy
// machine from a quiet one.
std::string loadAverage();

// Milliseconds of a steady clock, for deadlines.
int64_t nowMs();

// The last `maxBytes` of a file, for error messages.
std::string fileTail(const std::string& path, size_t maxBytes);

// The folder of this program.
std::string programDir();

} // namespace bench
