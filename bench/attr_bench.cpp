// attr_bench: Namewright attribute reads and durable writes through the client
// library, against a namewrightd of its own on loopback, beside raw UDP round
// trips measured in the same run.
//
// Processes: this program (the supervisor) sets up the workstation, seeds the
// directory, starts the daemon and the echo server, and forks a worker that
// loads the client library and measures. The supervisor never loads the
// library, so that it owns nothing that a crash, a time-out or Ctrl-C in the
// worker could leave behind; it removes the daemon, the echo server, the
// temporary folder and the workstation's shared blocks in every case.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "echo.h"
#include "harness.h"
#include "options.h"
#include "qrd/bytes.h"
#include "qrdlib.h"
#include "rounds.h"
#include "setup.h"
#include "stats.h"

namespace bench {
namespace {

// Attributes of the user's own object: one per size to read, one per size to
// write, so that the writes never change what the reads measure.
constexpr uint32_t kCategory = 52;
constexpr uint32_t kReadNumber = 100;
constexpr uint32_t kWriteNumber = 200;
constexpr uint32_t kWriteFlags = 2; // cut the value after the written data
constexpr size_t kSizes[] = {100, 4096, 65536};
constexpr size_t kChunk = 4096; // bytes per exchange of a raw value

constexpr int kToolTimeoutMs = 30000;
constexpr int kEchoTimeoutMs = 2000;

unsigned exchangesFor(size_t bytes) {
    return unsigned(std::max<size_t>(1, (bytes + kChunk - 1) / kChunk));
}

void fail(const std::string& message) {
    std::fprintf(stderr, "attr_bench: %s\n", message.c_str());
}

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i)
        v[i] = uint8_t(i * 31 + seed);
    return v;
}

std::string fileSystemOf(const std::string& path) {
    struct statfs fs {};
    if (statfs(path.c_str(), &fs) != 0) return "unknown";
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:
        return "ext2/3/4";
    case 0x01021994:
        return "tmpfs (syncs cost nothing: durable writes look cheaper than on a disk)";
    case 0x58465342:
        return "xfs";
    case 0x9123683E:
        return "btrfs";
    case 0x794C7630:
        return "overlayfs";
    default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "type 0x%lx", static_cast<unsigned long>(fs.f_type));
        return buf;
    }
    }
}

std::string cpuModel() {
    std::ifstream f("/proc/cpuinfo");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("model name", 0) == 0) {
            size_t colon = line.find(':');
            if (colon != std::string::npos) return line.substr(colon + 2);
        }
    }
    return "unknown CPU";
}

// ---------------------------------------------------------------------------
// The worker: loads the library, logs in, measures, prints the table.

class Worker {
  public:
    // `folder` is the temporary folder, on the file system of the database.
    Worker(const Options& o, const std::string& library, uint16_t echoPort,
           const std::string& folder)
        : library_(library), echoPort_(echoPort), syncProbe_(folder + "/sync-probe") {
        if (o.iterations) {
            plan_.iterations = o.iterations;
            plan_.budgeted = false;
        }
        plan_.warmup = o.warmup;
    }

    ~Worker() {
        if (syncFd_ >= 0) close(syncFd_);
    }

    int run() {
        std::string error;
        if (!lib_.load(library_, error)) return failed(error);
        if (!login(error)) return failed(error);
        if (!echo_.open(echoPort_, error)) return failed("raw round trip: " + error);

        std::vector<Measurement> all;
        addBaselines(all);
        bool attributes = prepareAttributes(error);
        if (attributes) {
            for (size_t i = 0; i < std::size(kSizes); ++i)
                all.push_back(read(i));
            for (size_t i = 0; i < std::size(kSizes); ++i)
                all.push_back(write(i));
        } else {
            fail("attributes: " + error);
        }
        bool complete = runAll(all, plan_, error);
        if (!complete) fail(error);
        // The last value of each write must read back, or the writes did not
        // do what they were timed for.
        for (size_t i = 0; complete && attributes && i < std::size(kSizes); ++i) {
            if (!checkLastWrite(i, error)) {
                fail(error);
                complete = false;
            }
        }

        lib_.endNmSession(&session_);
        lib_.done();
        std::vector<Row> rows = table(all);
        if (!attributes) {
            for (const char* op : {"read", "write (durable)"})
                for (size_t size : kSizes) {
                    Row row;
                    row.operation = op;
                    row.size = sizeText(size);
                    row.exchanges = exchangesFor(size);
                    row.note = "not measured (see above)";
                    rows.push_back(row);
                }
        }
        std::printf("\n%s", formatTable(rows).c_str());
        printVerdict(rows);
        std::fflush(stdout);
        return complete && attributes ? 0 : 1;
    }

  private:
    int failed(const std::string& message) {
        fail(message);
        return 1;
    }

    // The workstation login, as the login command does it, then a session on
    // the service found.
    bool login(std::string& error) {
        QRD_NONCE nonce{};
        if (!lib_.findAndLogIn(service_, nonce, user_, error)) return false;
        char canonical[NMNAMELEN] = {};
        std::snprintf(canonical, sizeof canonical, "%s", user_.c_str());
        uint32_t revision = 0;
        if (QRDSTATUS st = lib_.getSvrLRev(&service_, &revision)) {
            error = "the service's revision cannot be read: " + lib_.describe(st);
            return false;
        }
        QRDSTATUS st = lib_.setGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN);
        if (!st) st = lib_.setNonce(&nonce);
        if (!st) st = lib_.setGlobalVar(QRD_GV_NM_PORT, &service_, sizeof service_);
        if (!st) st = lib_.setGlobalVar(QRD_GV_NM_REVISION, &revision, sizeof revision);
        if (st) {
            error = "the login cannot be stored: " + lib_.describe(st);
            return false;
        }
        if ((st = lib_.startNmSession(&service_, QRD_CHARSET_LATIN1, nullptr, &session_))) {
            error = "no session: " + lib_.describe(st);
            return false;
        }
        std::printf("logged in as %s (service revision %u), session started\n", user_.c_str(),
                    revision);
        return true;
    }

    // Raw round trips with 100-byte and 4 KiB replies (indexes 0 and 1), the
    // file system's sync, and one library call to the daemon that touches no
    // storage: what a procedure call costs by itself.
    void addBaselines(std::vector<Measurement>& all) {
        for (size_t reply : {size_t(100), kChunk}) {
            Measurement m;
            m.row.operation = "raw UDP";
            m.row.size = sizeText(reply);
            m.timed = [this, reply](std::string& e) {
                return echo_.roundTrip(reply, kEchoTimeoutMs, e);
            };
            all.push_back(std::move(m));
        }
        // What one durable commit costs the file system at this moment: a
        // 4 KiB write and its sync, as the daemon's journal does per commit.
        // It is shown, not compared: it tells a slow disk from slow code.
        syncFd_ = open(syncProbe_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (syncFd_ >= 0) {
            Measurement sync;
            sync.row.operation = "raw fdatasync";
            sync.row.size = sizeText(kChunk);
            sync.timed = [this](std::string& e) {
                static const std::vector<uint8_t> block(kChunk, 0x3C);
                if (pwrite(syncFd_, block.data(), block.size(), 0) == ssize_t(block.size()) &&
                    fdatasync(syncFd_) == 0)
                    return true;
                e = std::string("sync probe: ") + std::strerror(errno);
                return false;
            };
            all.push_back(std::move(sync));
        }
        Measurement rpc;
        rpc.row.operation = "rpc revision";
        rpc.row.size = "8 B";
        rpc.row.baseline = "raw 100 B x1";
        rpc.baseline = kRaw100;
        rpc.timed = [this](std::string& e) {
            uint32_t revision = 0;
            QRDSTATUS st = lib_.getSvrLRev(&service_, &revision);
            if (st) e = "revision call: " + lib_.describe(st);
            return st == QRD_OK;
        };
        all.push_back(std::move(rpc));
    }

    QRDSTATUS writeValue(const AttrName& attr, const std::vector<uint8_t>& value) {
        uint32_t index = 0;
        uint32_t flags = kWriteFlags;
        return lib_.setSNmAttr(&session_, user_.c_str(), QRD_OCL_OBJECT, &attr, ATTR_RAW, &index,
                               uint32_t(value.size()), value.data(), &flags);
    }

    // Reads the whole value into `buffer` (sized by the caller); false with a
    // message unless exactly `buffer.size()` bytes came back.
    bool readValue(const AttrName& attr, std::vector<uint8_t>& buffer, std::string& error) {
        uint32_t type = ATTR_RAW, index = 0, count = uint32_t(buffer.size()), flags = 0;
        QRDSTATUS st = lib_.getSNmAttr(&session_, user_.c_str(), QRD_OCL_OBJECT, &attr, &type,
                                       &index, &count, buffer.data(), &flags);
        if (st) {
            error = "read of " + sizeText(buffer.size()) + ": " + lib_.describe(st);
            return false;
        }
        if (count != buffer.size() || type != ATTR_RAW) {
            error = "read of " + sizeText(buffer.size()) + " answered " + std::to_string(count) +
                    " bytes of type " + std::to_string(type);
            return false;
        }
        return true;
    }

    static AttrName readAttr(size_t which) { return {kCategory, kReadNumber + uint32_t(which)}; }
    static AttrName writeAttr(size_t which) { return {kCategory, kWriteNumber + uint32_t(which)}; }

    // Stores the values that the reads measure and checks them back, so that
    // a broken operation is reported instead of timed.
    bool prepareAttributes(std::string& error) {
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            AttrName attr = readAttr(i);
            std::vector<uint8_t> value = pattern(kSizes[i], uint32_t(i));
            if (QRDSTATUS st = writeValue(attr, value)) {
                error = "cannot store the " + sizeText(kSizes[i]) + " value: " + lib_.describe(st);
                return false;
            }
            uint32_t type = 0, count = 0, bytes = 0;
            if (QRDSTATUS st = lib_.getSNmAttrInfo(&session_, user_.c_str(), QRD_OCL_OBJECT, &attr,
                                                   &type, &count, &bytes)) {
                error = "attribute info: " + lib_.describe(st);
                return false;
            }
            if (type != ATTR_RAW || count != kSizes[i] || bytes != kSizes[i]) {
                error = "attribute info of the " + sizeText(kSizes[i]) + " value answered type " +
                        std::to_string(type) + ", " + std::to_string(count) + " elements, " +
                        std::to_string(bytes) + " bytes";
                return false;
            }
            std::vector<uint8_t> back(kSizes[i]);
            if (!readValue(attr, back, error)) return false;
            if (back != value) {
                error =
                    "the " + sizeText(kSizes[i]) + " value read back differs from the one stored";
                return false;
            }
        }
        return true;
    }

    Measurement read(size_t which) {
        size_t size = kSizes[which];
        Measurement m;
        m.row.operation = "read";
        m.row.size = sizeText(size);
        m.row.exchanges = exchangesFor(size);
        // A read is set beside raw round trips with replies of its chunk size.
        bool small = size <= 100;
        m.baseline = small ? kRaw100 : kRaw4k;
        m.row.baseline = std::string("raw ") + (small ? "100 B" : "4 KiB") + " x" +
                         std::to_string(m.row.exchanges);
        m.target = size <= kChunk ? 3 : 0;
        auto expected = std::make_shared<std::vector<uint8_t>>(pattern(size, uint32_t(which)));
        auto buffer = std::make_shared<std::vector<uint8_t>>(size);
        AttrName attr = readAttr(which);
        m.before = [buffer](size_t) { std::fill(buffer->begin(), buffer->end(), 0); };
        m.timed = [this, attr, buffer](std::string& e) { return readValue(attr, *buffer, e); };
        m.after = [buffer, expected, size](size_t, std::string& e) {
            if (*buffer == *expected) return true;
            e = "a read of " + sizeText(size) + " returned other bytes than stored";
            return false;
        };
        return m;
    }

    // Every write stores a different value: its first bytes count up. The
    // last one written is kept for the check after the rounds.
    Measurement write(size_t which) {
        size_t size = kSizes[which];
        Measurement m;
        m.row.operation = "write (durable)";
        m.row.size = sizeText(size);
        m.row.exchanges = exchangesFor(size);
        // A write's reply is small: set beside 100-byte round trips.
        m.baseline = kRaw100;
        m.row.baseline = "raw 100 B x" + std::to_string(m.row.exchanges);
        m.target = 10;
        lastWritten_[which] = pattern(size, uint32_t(which));
        std::vector<uint8_t>* value = &lastWritten_[which];
        AttrName attr = writeAttr(which);
        m.before = [value](size_t i) {
            if (value->size() >= 4) qrd::putBe32(value->data(), uint32_t(i) + 1);
        };
        m.timed = [this, attr, value, size](std::string& e) {
            QRDSTATUS st = writeValue(attr, *value);
            if (st) e = "write of " + sizeText(size) + ": " + lib_.describe(st);
            return st == QRD_OK;
        };
        return m;
    }

    bool checkLastWrite(size_t which, std::string& error) {
        const std::vector<uint8_t>& value = lastWritten_[which];
        std::vector<uint8_t> back(value.size());
        if (!readValue(writeAttr(which), back, error)) return false;
        if (back == value) return true;
        error = "the last " + sizeText(value.size()) + " write did not read back";
        return false;
    }

    std::vector<Row> table(const std::vector<Measurement>& all) const {
        std::vector<Row> rows;
        for (const Measurement& m : all) {
            Row row = m.row;
            row.summary = summarize(m.samples);
            if (row.summary.n == 0) row.note = m.failed ? "failed (see above)" : "not measured";
            if (m.baseline >= 0) {
                row.compared = true;
                row.comparison = compare(row.summary, summarize(all[size_t(m.baseline)].samples),
                                         row.exchanges, m.target);
            }
            rows.push_back(row);
        }
        return rows;
    }

    static void printVerdict(const std::vector<Row>& rows) {
        int targets = 0, met = 0;
        for (const Row& r : rows) {
            if (!r.compared || r.comparison.target <= 0) continue;
            ++targets;
            if (r.comparison.met) ++met;
        }
        std::printf("\np50 x, p99 x: the operation's percentile over the same percentile of the "
                    "raw round\ntrips it is compared with (per exchange, times the exchanges).\n");
        std::printf("targets: reads up to 4 KiB <= 3x, durable writes <= 10x per exchange; "
                    "%d of %d met\n",
                    met, targets);
    }

    static constexpr int kRaw100 = 0;
    static constexpr int kRaw4k = 1;

    std::string library_;
    uint16_t echoPort_;
    std::string syncProbe_;
    int syncFd_ = -1;
    Plan plan_;
    QrdLib lib_;
    EchoClient echo_;
    QRD_PORT service_{};
    QRD_NM_SESS session_{};
    std::string user_;
    std::vector<uint8_t> lastWritten_[std::size(kSizes)];
};

// ---------------------------------------------------------------------------
// The supervisor.

bool fileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

int supervise(const Options& o) {
    std::string dir = programDir();
    std::string daemon = o.daemon.empty() ? dir + "/../services/namewrightd/namewrightd" : o.daemon;
    std::string library = o.library.empty() ? dir + "/../api/libqrdxapi.so" : o.library;
    for (const std::string& p : {daemon, library}) {
        if (!fileExists(p)) {
            fail(p + " does not exist (build the tree, or give --daemon / --library)");
            return 1;
        }
    }

    Workspace ws;
    Daemon server;
    EchoServer echo;
    std::string error;
    int code = 1;
    auto finish = [&](int result) {
        server.stop();
        echo.stop();
        ws.cleanup(o.keep);
        if (o.keep && !ws.dir().empty())
            std::printf("kept %s (directory.db, daemon.log, QORDA.INI)\n", ws.dir().c_str());
        if (stopSignal() && result != 0) result = 130;
        return result;
    };

    if (!ws.create(o.tmpdir, error)) {
        fail(error);
        return finish(1);
    }
    ws.applyEnvironment();

    std::string log = ws.dir() + "/daemon.log";

    struct utsname u {};
    uname(&u);
    std::printf("attr_bench: %ld CPUs (%s), Linux %s, loopback\n", sysconf(_SC_NPROCESSORS_ONLN),
                cpuModel().c_str(), u.release);
    std::printf("folder %s on %s, port base %u\n", ws.dir().c_str(), fileSystemOf(ws.dir()).c_str(),
                ws.portBase());
    const Placement place = placeProcesses(o.placement);
    const int clientCpu = place.clientCpu, serverCpu = place.serverCpu;
    if (place.name != "free") {
        std::printf("placement %s: client on CPU %d, daemon and echo server on CPU %d\n",
                    place.name.c_str(), clientCpu, serverCpu);
    } else {
        std::printf("placement free: the scheduler decides\n");
    }
    std::printf("load average at the start: %s\n", loadAverage().c_str());
    if (o.iterations)
        std::printf("%zu operations per measurement after %zu warm-up operations\n", o.iterations,
                    o.warmup);
    else
        std::printf("up to %zu operations or %.1f s per measurement in %zu rounds, after up to "
                    "%zu warm-up operations\n",
                    kDefaultIterations, kDefaultBudgetMs / 1000.0, Plan{}.rounds, o.warmup);

    if (!startBenchDaemon(daemon, ws, server, serverCpu, error)) {
        fail(error);
        return finish(1);
    }
    if (!echo.start(error, serverCpu)) {
        fail(error);
        return finish(1);
    }

    code = runWorker(clientCpu, nowMs() + int64_t(o.timeoutSec) * 1000, "attr_bench",
                     [&] { return Worker(o, library, echo.port(), ws.dir()).run(); });
    reportEnd(code, log);
    return finish(code);
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    bench::Options options;
    std::string error;
    const bool parsed =
        bench::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error);
    return bench::benchMain("attr_bench", parsed, error, options.help, bench::kUsage,
                            [&] { return bench::supervise(options); });
}
