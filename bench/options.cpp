#include "options.h"

#include <charconv>

namespace bench {

const char kUsage[] = R"(usage: attr_bench [options]

Measures Namewright attribute reads and durable writes through the client
library against a namewrightd of its own on loopback, beside raw UDP round
trips measured in the same run, and prints one table.

It creates a temporary folder with its own QORDA.INI (a port base that no
running test holds), database, configuration folders and workstation id,
seeds a user with "namewrightd admin", logs in and starts a session.

  --iterations N   timed operations per measurement (default: up to 2000,
                   each measurement stopping after 2.5 s); the measurements
                   take turns in 10 rounds, so a change in the machine's load
                   touches all of them alike
  --warmup N       untimed operations before each measurement (default 50,
                   at most 0.3 s each unless --iterations is given)
  --daemon PATH    the namewrightd program (default: the build tree's
                   services/namewrightd/namewrightd next to this program)
  --library PATH   the client library (default: the build tree's
                   api/libqrdxapi.so next to this program)
  --tmpdir DIR     where the temporary folder is made (default $TMPDIR, else
                   /tmp); its file system decides what a durable write costs
  --placement P    split (default): the measuring client on one CPU, the
                   daemon and the echo server on another, like the two ends
                   of a network; same: everything on one CPU; free: wherever
                   the scheduler puts them (figures then vary from run to run)
  --timeout SEC    give up after SEC seconds (default 600)
  --keep           keep the temporary folder (database, logs) and say where
  -h, --help       show this text

Targets: attribute reads of up to 4 KiB within 3x one raw round trip with a
reply of the same size; durable writes within 10x one raw round trip per
exchange. A 64 KiB read is set beside 16 raw 4 KiB round trips.
Exit status: 0 measured, 1 failed, 2 wrong usage, 130 interrupted.
)";

namespace {

bool number(const std::string& text, size_t min, size_t& out) {
    size_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < min) return false;
    out = v;
    return true;
}

} // namespace

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            continue;
        }
        if (a == "--keep") {
            o.keep = true;
            continue;
        }
        bool takesValue = a == "--iterations" || a == "--warmup" || a == "--daemon" ||
                          a == "--library" || a == "--tmpdir" || a == "--timeout" ||
                          a == "--placement";
        if (!takesValue) {
            error = "unknown option " + a;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& v = args[++i];
        size_t n = 0;
        if (a == "--iterations") {
            if (!number(v, 1, n)) {
                error = "--iterations wants a number of at least 1";
                return false;
            }
            o.iterations = n;
        } else if (a == "--warmup") {
            if (!number(v, 0, n)) {
                error = "--warmup wants a number";
                return false;
            }
            o.warmup = n;
        } else if (a == "--timeout") {
            if (!number(v, 1, n) || n > 86400) {
                error = "--timeout wants seconds between 1 and 86400";
                return false;
            }
            o.timeoutSec = unsigned(n);
        } else if (a == "--placement") {
            if (v != "split" && v != "same" && v != "free") {
                error = "--placement wants split, same or free";
                return false;
            }
            o.placement = v;
        } else if (v.empty()) {
            error = a + " wants a path";
            return false;
        } else if (a == "--daemon") {
            o.daemon = v;
        } else if (a == "--library") {
            o.library = v;
        } else {
            o.tmpdir = v;
        }
    }
    out = o;
    return true;
}

} // namespace bench
