// nmda_bench: directory-assistance pages through the client library against
// a namewrightd of its own on loopback, at directories of growing size,
// each beside a raw UDP round trip measured in the same run.
//
// The directory grows between the measurements (1,000 names, then 10,000,
// then 100,000 by default) through `namewrightd admin user bulk`, which
// writes the names in one batch while the daemon serves. At each size the
// worker times: the first page, the last page, a jump to position 50, the
// page after the one at 50, and a refined search (a description pattern
// that one name in ten matches), and the first query after the growth,
// which makes the answer's table of positions.
//
// Processes as in attr_bench: the supervisor sets up the workstation and the
// servers and never loads the library; a forked worker loads it and measures.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "echo.h"
#include "harness.h"
#include "qrdlib.h"
#include "rounds.h"
#include "setup.h"
#include "stats.h"

namespace bench {
namespace {

const char kUsageText[] = R"(usage: nmda_bench [options]

Directory-assistance pages (first, last, jump to 50, next, refined search)
through the client library, at directories of growing size, beside a raw
UDP round trip with a 1 KiB reply measured in the same run.

  --sizes A,B,...     directory sizes in names (default 1000,10000,100000)
  --iterations N      operations per measurement (default: up to 2000 or
                      2.5 s each)
  --placement P       split (client and servers on two CPUs), same or free
                      (default split)
  --daemon PATH       namewrightd (default: the build tree's)
  --library PATH      libqrdxapi.so (default: the build tree's)
  --tmpdir DIR        where the temporary folder goes (default $TMPDIR or /tmp)
  --keep              keep the folder (directory.db, daemon.log)
  --help              this text
)";

constexpr size_t kRawReply = 1024; // a page of seven names and descriptions is smaller
constexpr int kEchoTimeoutMs = 2000;
constexpr int kGrowTimeoutMs = 300000;
constexpr double kTarget = 3; // each page within 3x of one exchange
const char kGroup[] = "Lab@Bench";

struct NmdaOptions {
    std::vector<size_t> sizes{1000, 10000, 100000};
    size_t iterations = 0;
    std::string placement = "split", daemon, library, tmpdir;
    bool keep = false, help = false;
};

bool parseSizes(const std::string& text, std::vector<size_t>& out) {
    out.clear();
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        if (part.empty() || part.size() > 6 || part.find_first_not_of("0123456789") != part.npos)
            return false;
        const size_t n = std::stoul(part);
        if (n < 10 || (!out.empty() && n <= out.back()) || n > 999999) return false;
        out.push_back(n);
        at = comma + 1;
    }
    return !out.empty();
}

bool parse(const std::vector<std::string>& args, NmdaOptions& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help") {
            o.help = true;
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--sizes") {
            if (!value(v) || !parseSizes(v, o.sizes)) {
                error = "--sizes takes growing sizes from 10 to 999999, e.g. 1000,10000";
                return false;
            }
        } else if (a == "--iterations") {
            if (!value(v) || v.empty() || v.size() > 7 ||
                v.find_first_not_of("0123456789") != v.npos || std::stoul(v) == 0) {
                error = "--iterations takes a number from 1 to 9999999";
                return false;
            }
            o.iterations = std::stoul(v);
        } else if (a == "--placement") {
            if (!value(o.placement) ||
                (o.placement != "split" && o.placement != "same" && o.placement != "free")) {
                error = "--placement takes split, same or free";
                return false;
            }
        } else if (a == "--daemon" || a == "--library" || a == "--tmpdir") {
            std::string& target = a == "--daemon"    ? o.daemon
                                  : a == "--library" ? o.library
                                                     : o.tmpdir;
            if (!value(target)) {
                error = a + " needs a path";
                return false;
            }
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

void fail(const std::string& message) {
    std::fprintf(stderr, "nmda_bench: %s\n", message.c_str());
}

// The worker: loads the library, logs in, grows the directory and measures.
class Worker {
  public:
    Worker(const NmdaOptions& o, const std::string& library, const std::string& daemon,
           const std::string& db, uint16_t echoPort)
        : options_(o), library_(library), daemon_(daemon), db_(db), echoPort_(echoPort) {
        if (o.iterations) {
            plan_.iterations = o.iterations;
            plan_.budgeted = false;
        }
    }

    int run() {
        std::string error;
        if (!lib_.load(library_, error) || !login(error) || !echo_.open(echoPort_, error)) {
            fail(error);
            return 1;
        }
        std::vector<Row> rows;
        std::vector<std::vector<double>> p50s; // [size][operation]
        size_t have = 0;
        bool ok = true;
        for (size_t size : options_.sizes) {
            if (!grow(have, size, error)) {
                fail(error);
                ok = false;
                break;
            }
            have = size;
            std::vector<Measurement> all = measurements(size);
            if (!runAll(all, plan_, error)) {
                fail(error);
                ok = false;
            }
            p50s.emplace_back();
            for (Measurement& m : all) {
                Row row = m.row;
                row.summary = summarize(m.samples);
                if (m.baseline >= 0) {
                    row.compared = true;
                    row.comparison = compare(
                        row.summary, summarize(all[size_t(m.baseline)].samples), 1, m.target);
                }
                p50s.back().push_back(row.summary.p50);
                rows.push_back(row);
            }
            if (!ok) break;
        }
        lib_.endNmdaSession(handle_);
        lib_.done();
        std::printf("\n%s", formatTable(rows).c_str());
        printFlatness(p50s);
        std::fflush(stdout);
        return ok ? 0 : 1;
    }

  private:
    bool login(std::string& error) {
        QRD_NONCE nonce{};
        std::string user;
        if (!lib_.findAndLogIn(service_, nonce, user, error)) return false;
        char canonical[NMNAMELEN] = {};
        std::snprintf(canonical, sizeof canonical, "%s", user.c_str());
        QRDSTATUS st = lib_.setGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN);
        if (!st) st = lib_.setNonce(&nonce);
        if (!st) st = lib_.startNmdaSession(nullptr, &handle_);
        if (st) error = "no directory-assistance session: " + lib_.describe(st);
        return st == QRD_OK;
    }

    // Adds the names from `have` + 1 to `size` in one batch, and times it.
    bool grow(size_t have, size_t size, std::string& error) {
        const int64_t start = nowMs();
        ToolOutcome o = runTool(daemon_,
                                {"admin", "--db", db_, "user", "bulk", kGroup,
                                 std::to_string(size - have), "--first", std::to_string(have + 1)},
                                "", kGrowTimeoutMs);
        if (o.exitCode != 0) {
            error = "growing the directory to " + std::to_string(size) + " names: " + o.err;
            return false;
        }
        std::printf("directory grown to %zu names (+1 bench user) in %.1f s\n", size,
                    double(nowMs() - start) / 1000.0);
        std::fflush(stdout);
        return true;
    }

    // One data query; false with a message unless it answered `want` names
    // (0: any number).
    bool query(QRD_NMDA_CONTEXT& ctx, QRD_NMDA_QUERY& q, uint16_t op, size_t want, std::string& e) {
        ctx.operation = op;
        QRD_NMDA_RESULT r{};
        QRDSTATUS st = lib_.getNmdaData(handle_, &ctx, &q, nullptr, &r);
        if (st) {
            e = "data query " + std::to_string(op) + ": " + lib_.describe(st);
            return false;
        }
        if (want && r.count != want) {
            e = "data query " + std::to_string(op) + " answered " + std::to_string(r.count) +
                " names, not " + std::to_string(want);
            return false;
        }
        return true;
    }

    static QRD_NMDA_CONTEXT freshContext() {
        QRD_NMDA_CONTEXT c{};
        c.kind = QRD_NMDA_KIND_USERS;
        c.pageSize = QRD_NMDA_PAGE;
        return c;
    }

    Measurement page(const std::string& name, size_t size, std::function<bool(std::string&)> op) {
        Measurement m;
        m.row.operation = name;
        m.row.size = std::to_string(size) + " names";
        m.row.baseline = "raw 1 KiB x1";
        m.baseline = 0;
        m.target = kTarget;
        m.timed = std::move(op);
        return m;
    }

    std::vector<Measurement> measurements(size_t size) {
        std::vector<Measurement> all;
        Measurement raw;
        raw.row.operation = "raw UDP";
        raw.row.size = sizeText(kRawReply);
        raw.timed = [this](std::string& e) {
            return echo_.roundTrip(kRawReply, kEchoTimeoutMs, e);
        };
        all.push_back(std::move(raw));

        auto plain = std::make_shared<QRD_NMDA_QUERY>();
        *plain = QRD_NMDA_QUERY{};
        // One description in ten ends with 5: "user 000005", "user 000015", ...
        static const char kDescription[] = "user 0*5";
        auto refined = std::make_shared<QRD_NMDA_QUERY>();
        *refined = QRD_NMDA_QUERY{};
        refined->criteriaCount = 1;
        refined->criteria[0] = {QRD_NMDA_MATCH_PATTERN,
                                {QRD_NMDA_DESC_CATEGORY, QRD_NMDA_DESC_NUMBER},
                                QRD_NMDA_VALUE_TEXT,
                                sizeof kDescription,
                                kDescription};

        // The first query after a growth makes the answer's position table
        // (the directory changed): timed once, before the warm-ups.
        {
            const int64_t t0 = nowMs();
            std::string e;
            QRD_NMDA_CONTEXT ctx = freshContext();
            const bool ok = query(ctx, *plain, QRD_NMDA_OP_FIRST, QRD_NMDA_PAGE, e);
            std::printf("%zu names: the first query after the growth took %lld ms%s\n", size,
                        static_cast<long long>(nowMs() - t0),
                        ok ? "" : (" and failed: " + e).c_str());
        }

        all.push_back(page("first page", size, [this, plain](std::string& e) {
            QRD_NMDA_CONTEXT ctx = freshContext();
            return query(ctx, *plain, QRD_NMDA_OP_FIRST, QRD_NMDA_PAGE, e);
        }));
        all.push_back(page("last page", size, [this, plain](std::string& e) {
            QRD_NMDA_CONTEXT ctx = freshContext();
            return query(ctx, *plain, QRD_NMDA_OP_LAST, QRD_NMDA_PAGE, e);
        }));
        all.push_back(page("jump to 50", size, [this, plain](std::string& e) {
            QRD_NMDA_CONTEXT ctx = freshContext();
            ctx.forward = 50;
            return query(ctx, *plain, QRD_NMDA_OP_NEXT, QRD_NMDA_PAGE, e);
        }));
        // The page after the one at 50: its context is taken once, outside
        // the clock.
        auto at50 = std::make_shared<QRD_NMDA_CONTEXT>(freshContext());
        Measurement next = page("next page", size, [this, plain, at50](std::string& e) {
            QRD_NMDA_CONTEXT ctx = *at50;
            ctx.forward = QRD_NMDA_POS_BESIDE;
            return query(ctx, *plain, QRD_NMDA_OP_NEXT, QRD_NMDA_PAGE, e);
        });
        next.before = [this, plain, at50](size_t) {
            if (at50->lastKey[0]) return;
            std::string ignored;
            at50->forward = 50;
            query(*at50, *plain, QRD_NMDA_OP_NEXT, 0, ignored);
        };
        all.push_back(std::move(next));
        all.push_back(page("refined search", size, [this, refined](std::string& e) {
            QRD_NMDA_CONTEXT ctx = freshContext();
            return query(ctx, *refined, QRD_NMDA_OP_FIRST, QRD_NMDA_PAGE, e);
        }));
        return all;
    }

    void printFlatness(const std::vector<std::vector<double>>& p50s) const {
        if (p50s.size() < 2) return;
        std::printf("\np50 in microseconds by directory size (flat: the last column near 1):\n");
        std::printf("%-16s", "operation");
        for (size_t s = 0; s < p50s.size(); ++s)
            std::printf("%12zu", options_.sizes[s]);
        std::printf("%12s\n", "last/first");
        static const char* kNames[] = {"raw UDP 1 KiB", "first page", "last page",
                                       "jump to 50",    "next page",  "refined search"};
        for (size_t op = 0; op < std::size(kNames) && op < p50s.front().size(); ++op) {
            std::printf("%-16s", kNames[op]);
            for (const std::vector<double>& row : p50s)
                std::printf("%12.0f", op < row.size() ? row[op] : 0.0);
            const double first = p50s.front()[op];
            const double last = op < p50s.back().size() ? p50s.back()[op] : 0;
            std::printf("%12.2f\n", first > 0 ? last / first : 0.0);
        }
        std::printf("\ntarget: every page within %.0fx of one raw exchange (p50 and p99)\n",
                    kTarget);
    }

    NmdaOptions options_;
    std::string library_, daemon_, db_;
    uint16_t echoPort_;
    Plan plan_;
    QrdLib lib_;
    EchoClient echo_;
    QRD_PORT service_{};
    QRD_NMDA_HANDLE handle_ = nullptr;
};

int supervise(const NmdaOptions& o) {
    const std::string dir = programDir();
    const std::string daemon =
        o.daemon.empty() ? dir + "/../services/namewrightd/namewrightd" : o.daemon;
    const std::string library = o.library.empty() ? dir + "/../api/libqrdxapi.so" : o.library;
    for (const std::string& p : {daemon, library}) {
        if (access(p.c_str(), F_OK) != 0) {
            fail(p + " does not exist (build the tree, or give --daemon / --library)");
            return 1;
        }
    }
    Workspace ws;
    Daemon server;
    EchoServer echo;
    std::string error;
    auto finish = [&](int result) {
        server.stop();
        echo.stop();
        ws.cleanup(o.keep);
        if (o.keep && !ws.dir().empty()) std::printf("kept %s\n", ws.dir().c_str());
        if (stopSignal() && result != 0) result = 130;
        return result;
    };
    if (!ws.create(o.tmpdir, error)) {
        fail(error);
        return finish(1);
    }
    ws.applyEnvironment();
    const Placement place = placeProcesses(o.placement);
    std::printf("nmda_bench: %ld CPUs, placement %s, load average %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), place.name.c_str(), loadAverage().c_str());
    if (!startBenchDaemon(daemon, ws, server, place.serverCpu, error) ||
        !echo.start(error, place.serverCpu)) {
        fail(error);
        return finish(1);
    }
    const int code = runWorker(place.clientCpu, nowMs() + 1800 * 1000, "nmda_bench", [&] {
        return Worker(o, library, daemon, ws.dir() + "/directory.db", echo.port()).run();
    });
    reportEnd(code, ws.dir() + "/daemon.log");
    return finish(code);
}

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    bench::NmdaOptions options;
    std::string error;
    const bool parsed =
        bench::parse(std::vector<std::string>(argv + 1, argv + argc), options, error);
    return bench::benchMain("nmda_bench", parsed, error, options.help, bench::kUsageText,
                            [&] { return bench::supervise(options); });
}
