// What attr_bench and store_bench share around their measuring process: the
// directory they seed, where the processes run, and the wait for the
// measuring process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace bench {

// The directory every benchmark seeds and logs in to.
extern const char kBenchServer[]; // NW1@Lab@Bench
extern const char kBenchUser[];   // runner@Lab@Bench
extern const char kBenchPassword[];

// Seeds the organisation, group, server and user with `namewrightd admin`.
bool seedBenchDirectory(const std::string& daemon, const std::string& db, std::string& error);

class Daemon;
class Workspace;
// Seeds directory.db of the workspace and starts `daemon` serving it (on
// `cpu`, -1: anywhere), logging to daemon.log; false with a message that
// ends with the log's last lines.
bool startBenchDaemon(const std::string& daemon, const Workspace& ws, Daemon& server, int cpu,
                      std::string& error);

// Where the measuring process and the servers run: "split" (two CPUs, or
// "same" when only one is allowed), "same" or "free" (-1: anywhere).
struct Placement {
    std::string name;
    int clientCpu = -1;
    int serverCpu = -1;
};
Placement placeProcesses(const std::string& asked);

// Waits for the measuring process `worker`, which holds the write end of the
// pipe `life` until it ends: its end, a stop, or the deadline (then it is
// stopped). Returns its exit status, 130 after a stop, 1 after the deadline
// or a crash (said on standard error after `program`).
int waitForWorker(pid_t worker, int life, int64_t deadline, const char* program);

// Forks the measuring process: it runs `work` (on `cpu`; -1: anywhere) and
// leaves with its result, never running the supervisor's clean-up. The
// supervisor waits for it as waitForWorker does, until `deadline`; 1 when
// it could not be started (said on standard error after `program`).
int runWorker(int cpu, int64_t deadline, const char* program, const std::function<int()>& work);

// Prints the load average at the end and, when the run failed (`code` not 0
// nor 130), the last lines of the daemon's log.
void reportEnd(int code, const std::string& daemonLog);

} // namespace bench
