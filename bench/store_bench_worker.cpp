// store_bench_worker: the measuring half of store_bench. It is started by
// store_bench with the benchmark's workstation in its environment (so that
// the client library, loaded with this program, attaches to that
// workstation), logs in, and times the store's operations: reading and
// writing one record of each kind, and the free list's allocation and
// release. Each operation is shown with the client API exchanges it took
// (counted by a wrapping client table) beside what that many single
// exchanges, measured in the same run, cost.
//
// Arguments: USER ITERATIONS WARMUP; the password comes in STORE_BENCH_PASSWORD.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exchange_count.h"
#include "namedir.h"
#include "rounds.h"
#include "stats.h"
#include "store_bench_folder.h"

namespace bench {
namespace {

constexpr double kTarget = 1.3;          // an operation within 1.3x its exchanges
constexpr uint32_t kBaseNumber = 250300; // the benchmark's objects (user range)
constexpr uint32_t kExchangeNumber = 250390;

void fail(const std::string& message) {
    std::fprintf(stderr, "store_bench: %s\n", message.c_str());
}

std::string statusText(QRDSTATUS st) {
    char text[QRD_ERRTEXT_LEN] = {};
    QrdGetErrorText(nullptr, st, text);
    return std::string(text) + " (status " + std::to_string(st) + ")";
}

std::string storeText(long code) {
    const char* text = DIRErrorText(code);
    return std::string(text ? text : "unknown store error") + " (store code " +
           std::to_string(code) + ")";
}

// The login of the workstation, as the login command does it.
bool login(const std::string& user, const std::string& password, std::string& error) {
    QRD_PORT port;
    QrdSetPortNull(&port);
    if (QRDSTATUS st = QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &port)) {
        error = "no Namewright service found: " + statusText(st);
        return false;
    }
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    if (QRDSTATUS st = QrdNmLogin(&port, user.c_str(), password.c_str(), &nonce, canonical)) {
        error = "login of " + user + " failed: " + statusText(st);
        return false;
    }
    QRDSTATUS st = QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN);
    if (!st) st = QrdSetNonce(&nonce);
    if (st) error = "the login cannot be stored: " + statusText(st);
    return st == 0;
}

// One kind of record: where it lives, and how it is encoded and decoded. A
// fixed record is read before it is written (it is rewritten in place); a
// list is rewritten whole. Every write changes one field (`variant`): a
// write of the bytes already stored costs the service no disk sync and would
// flatter the figures. Reads check a field that the writes leave alone.
struct Kind {
    const char* name;
    uint32_t category;
    uint32_t number;
    bool fixed;
    std::function<long(namedir::AttrStream&, uint32_t variant)> encode;
    // Decodes and checks a field against what was written: 0 or a message.
    std::function<long(const namedir::AttrStream&, std::string&)> decode;
};

std::string user_;

DIRAddressPtr addressOf(uint32_t number) {
    return DIRAddressPtr(new DIRNmDirectoryAddress(user_, 52, long(number), 1700000000u));
}

template <class T, class Get>
std::function<long(const namedir::AttrStream&, std::string&)>
checked(long (*decode)(const namedir::AttrStream&, T&), Get field, std::string expected) {
    return [decode, field, expected](const namedir::AttrStream& s, std::string& e) -> long {
        T record;
        if (long code = decode(s, record)) return code;
        if (field(record) != expected) e = "read back \"" + field(record) + "\"";
        return 0;
    };
}

std::vector<Kind> kinds() {
    using namespace namedir;
    std::vector<Kind> out;
    auto folder = std::make_shared<DIRFolder>();
    folder->base.objectType = DIR_TYPE_FOLDER;
    folder->creator = user_;
    folder->name = "Quarterly reports";
    folder->description = "Figures, minutes and the plans for the next quarter";
    folder->longText = "Shared with the whole lab";
    out.push_back(
        {"main record", 52, kBaseNumber, true,
         [folder](AttrStream& s, uint32_t v) {
             return encodeMainRecord(*folder, 1700000000u + v, s);
         },
         checked<DIRCommonInfo>(
             decodeMainRecord, [](const DIRCommonInfo& r) { return r.name; }, folder->name)});

    auto rights = std::make_shared<std::vector<DIRAccessRight>>(
        std::vector<DIRAccessRight>{{3, user_}, {2, "*@Lab@Bench"}, {1, "Readers@Lab@Bench"}});
    out.push_back({"access rights", 53, kBaseNumber, false,
                   [rights](AttrStream& s, uint32_t v) {
                       (*rights)[0].rights = 2 + v % 2;
                       return encodeAccessRights(*rights, s);
                   },
                   checked<std::vector<DIRAccessRight>>(
                       decodeAccessRights,
                       [](const std::vector<DIRAccessRight>& l) {
                           return l.size() == 3 ? l[2].name : std::string();
                       },
                       "Readers@Lab@Bench")});

    auto parents = std::make_shared<std::vector<DIRParentInfo>>(1);
    (*parents)[0].address = addressOf(250000);
    out.push_back({"parents", 55, kBaseNumber, false,
                   [parents](AttrStream& s, uint32_t v) {
                       (*parents)[0].flags = long(v % 2);
                       return encodeParents(*parents, s);
                   },
                   checked<std::vector<DIRParentInfo>>(
                       decodeParents,
                       [](const std::vector<DIRParentInfo>& l) {
                           const DIRNmDirectoryAddress* a = l.empty() ? nullptr : l[0].address.nm();
                           return a ? a->nmName : std::string();
                       },
                       user_)});

    auto contents = std::make_shared<std::vector<DIRRefInfo>>(10);
    for (size_t i = 0; i < contents->size(); ++i) {
        DIRRefInfo& r = (*contents)[i];
        r.address = addressOf(kBaseNumber + 1 + uint32_t(i));
        r.name = "Item " + std::to_string(i + 1);
        r.objectType = DIR_TYPE_DOCUMENT;
        r.time = 1700000000u;
        r.refText = "A document of the folder";
    }
    out.push_back({"contents (10)", 57, kBaseNumber, false,
                   [contents](AttrStream& s, uint32_t v) {
                       (*contents)[0].name = "Item 1 (" + std::to_string(v) + ")";
                       return encodeReferences(*contents, s);
                   },
                   checked<std::vector<DIRRefInfo>>(
                       decodeReferences,
                       [](const std::vector<DIRRefInfo>& l) {
                           return l.size() == 10 ? l[9].name : std::string();
                       },
                       "Item 10")});

    auto subscribers = std::make_shared<std::vector<DIRSubscriber>>(
        std::vector<DIRSubscriber>{{3, "carol@Lab@Bench"}, {3, "dave@Lab@Bench"}});
    out.push_back({"subscribers", 56, kBaseNumber, false,
                   [subscribers](AttrStream& s, uint32_t v) {
                       (*subscribers)[0].name = v % 2 ? "carol@Lab@Bench" : "erin@Lab@Bench";
                       return encodeSubscribers(*subscribers, s);
                   },
                   checked<std::vector<DIRSubscriber>>(
                       decodeSubscribers,
                       [](const std::vector<DIRSubscriber>& l) {
                           return l.size() == 2 ? l[1].name : std::string();
                       },
                       "dave@Lab@Bench")});

    static const std::string kUrl = "https://intranet.example/lab/reports/2026/q4/index.html?v=";
    auto web = std::make_shared<DIRWebItem>();
    out.push_back({"web item data", 56, kBaseNumber + 1, true,
                   [web](AttrStream& s, uint32_t v) {
                       web->url = kUrl + std::to_string(v);
                       return encodeWebItem(*web, s);
                   },
                   checked<DIRWebItem>(
                       decodeWebItem,
                       [](const DIRWebItem& w) { return w.url.substr(0, kUrl.size()); }, kUrl)});

    auto doc = std::make_shared<DIRDocItem>();
    doc->documentText1 = "\\\\FILES\\reports\\2026\\q4.txt";
    doc->documentText2 = "Quarterly figures";
    doc->documentText3 = "txt";
    out.push_back({"document data", 56, kBaseNumber + 2, true,
                   [doc](AttrStream& s, uint32_t v) {
                       doc->documentText2 = "Quarterly figures " + std::to_string(v);
                       return encodeDocItem(*doc, s);
                   },
                   checked<DIRDocItem>(
                       decodeDocItem, [](const DIRDocItem& d) { return d.documentText1; },
                       doc->documentText1)});

    auto action = std::make_shared<DIRAction>();
    action->capabilities = DIR_TYPE_DOCUMENT | DIR_TYPE_WEB;
    action->commandLine = "/usr/bin/xdg-open %1";
    action->startDirectory = "/tmp";
    out.push_back(
        {"action data", 56, kBaseNumber + 3, true,
         [action](AttrStream& s, uint32_t v) {
             action->showMode = long(v % 8);
             return encodeAction(*action, s);
         },
         checked<DIRAction>(
             decodeAction, [](const DIRAction& a) { return a.commandLine; }, action->commandLine)});

    auto card = std::make_shared<DIRUserBusinessCard>();
    for (int i = 0; i < DIRUserBusinessCard::kTextCount; ++i)
        (*card).*DIRUserBusinessCard::kTexts[i] = "Card text " + std::to_string(i + 1);
    out.push_back({"business card", 34, layout::kUserBusinessCard, true,
                   [card](AttrStream& s, uint32_t v) {
                       card->cardText1 = "Runner " + std::to_string(v);
                       return encodeBusinessCard(*card, s);
                   },
                   checked<DIRUserBusinessCard>(
                       decodeBusinessCard,
                       [](const DIRUserBusinessCard& c) { return c.cardText13; }, "Card text 13")});

    out.push_back({"preferences", 34, layout::kUserPreferences, true,
                   [](AttrStream& s, uint32_t v) {
                       return encodePreferences(long(v), "Default view", "", s);
                   },
                   [](const AttrStream& s, std::string& e) -> long {
                       long value;
                       std::string t1, t2;
                       if (long code = decodePreferences(s, value, t1, t2)) return code;
                       if (t1 != "Default view") e = "read back \"" + t1 + "\"";
                       return 0;
                   }});
    return out;
}

long writeRecord(const Kind& k, uint32_t variant) {
    namedir::AttrStream s(user_, k.category, k.number);
    if (k.fixed) {
        long e = s.read(namedir::clientAttrStore());
        if (e && e != DIR_ATTR_MISSING) return e;
    }
    if (long e = k.encode(s, variant)) return e;
    return s.write(namedir::clientAttrStore());
}

// A measurement, and the exchanges its timed operations took.
struct Timed {
    Measurement m;
    ExchangeCount exchanges; // summed over the timed operations
    size_t operations = 0;
    bool baseline = false; // a single exchange straight through the client API
};

// Wraps the operation so that only its own exchanges are counted.
void count(Timed& t, std::function<bool(std::string&)> op) {
    t.m.timed = [&t, op](std::string& e) {
        ExchangeCount before = exchangesSoFar();
        bool ok = op(e);
        ExchangeCount after = exchangesSoFar();
        t.exchanges.reads += after.reads - before.reads;
        t.exchanges.writes += after.writes - before.writes;
        ++t.operations;
        return ok;
    };
}

struct Baseline {
    double p50 = 0, p99 = 0;
};

class Worker {
  public:
    Worker(size_t iterations, size_t warmup) {
        if (iterations) {
            plan_.iterations = iterations;
            plan_.budgeted = false;
        } else {
            plan_.iterations = 1000;
            plan_.budgetMs = 1200;
        }
        plan_.warmup = warmup;
    }

    int run() {
        std::string error;
        CQrdApi::setClientCalls(&countingClientCalls());
        if (!prepare(error)) {
            fail(error);
            return 1;
        }
        std::vector<std::unique_ptr<Timed>> all;
        addExchanges(all);
        for (const Kind& k : kinds_) {
            all.push_back(read(k));
            all.push_back(write(k));
        }
        all.push_back(allocate());
        all.push_back(release());
        std::vector<Measurement> ms;
        for (auto& t : all)
            ms.push_back(t->m);
        // runAll works on copies; put them back so the counters line up.
        bool complete = runAll(ms, plan_, error);
        for (size_t i = 0; i < all.size(); ++i)
            all[i]->m.samples = ms[i].samples;
        if (!complete) fail(error);
        print(all);
        if (complete && folderDocuments_ > 0) {
            double readUs = summarize(all[0]->m.samples).p50;
            double writeUs = summarize(all[1]->m.samples).p50;
            complete = benchFolder(user_, folderDocuments_, readUs, writeUs, error);
            if (!complete) fail(error);
        }
        CQrdApi::destroySession();
        return complete ? 0 : 1;
    }

  private:
    bool prepare(std::string& error) {
        kinds_ = kinds();
        for (const Kind& k : kinds_) {
            if (long e = writeRecord(k, 0)) {
                error = std::string("cannot store the ") + k.name + ": " + storeText(e);
                return false;
            }
            namedir::AttrStream s(user_, k.category, k.number);
            std::string wrong;
            long e = s.read(namedir::clientAttrStore());
            if (!e) e = k.decode(s, wrong);
            if (e || !wrong.empty()) {
                error = std::string("the ") + k.name +
                        " does not read back: " + (e ? storeText(e) : wrong);
                return false;
            }
        }
        exchangeValue_.assign(100, 0x42);
        exchangeRead_ = exchangeValue_;
        if (QRDSTATUS st = CQrdApi::writeAttribute(user_, 52, kExchangeNumber, exchangeValue_)) {
            error = "cannot store the exchange's value: " + statusText(st);
            return false;
        }
        return true;
    }

    // One read exchange and one durable write exchange of 100 bytes, straight
    // through the client API: what every operation is set beside.
    void addExchanges(std::vector<std::unique_ptr<Timed>>& all) {
        auto r = std::make_unique<Timed>();
        r->m.row.operation = "1 read exchange";
        r->baseline = true;
        count(*r, [this](std::string& e) {
            std::vector<uint8_t> buffer(exchangeRead_.size());
            const AttrName attr{52, kExchangeNumber};
            uint32_t type = ATTR_RAW, index = 0, n = uint32_t(buffer.size()), flags = 0;
            QRDSTATUS st = QrdGetSNmAttr(CQrdApi::getNmSession(), user_.c_str(), QRD_OCL_OBJECT,
                                         &attr, &type, &index, &n, buffer.data(), &flags);
            if (st) e = "read exchange: " + statusText(st);
            return st == 0 && buffer == exchangeRead_;
        });
        all.push_back(std::move(r));
        auto w = std::make_unique<Timed>();
        w->m.row.operation = "1 write exchange";
        w->baseline = true;
        count(*w, [this](std::string& e) {
            ++exchangeValue_[0]; // a changed value, as every store write is
            const AttrName attr{52, kExchangeNumber + 1};
            uint32_t index = 0, flags = 2;
            QRDSTATUS st = QrdSetSNmAttr(CQrdApi::getNmSession(), user_.c_str(), QRD_OCL_OBJECT,
                                         &attr, ATTR_RAW, &index, uint32_t(exchangeValue_.size()),
                                         exchangeValue_.data(), &flags);
            if (st) e = "write exchange: " + statusText(st);
            return st == 0;
        });
        all.push_back(std::move(w));
    }

    std::unique_ptr<Timed> read(const Kind& k) {
        auto t = std::make_unique<Timed>();
        t->m.row.operation = std::string("read ") + k.name;
        count(*t, [k](std::string& e) {
            namedir::AttrStream s(user_, k.category, k.number);
            long code = s.read(namedir::clientAttrStore());
            std::string wrong;
            if (!code) code = k.decode(s, wrong);
            if (code) e = std::string("read ") + k.name + ": " + storeText(code);
            if (!wrong.empty()) e = std::string("read ") + k.name + ": " + wrong;
            return code == 0 && wrong.empty();
        });
        return t;
    }

    std::unique_ptr<Timed> write(const Kind& k) {
        auto t = std::make_unique<Timed>();
        t->m.row.operation = std::string("write ") + k.name;
        auto variant = std::make_shared<uint32_t>(0);
        count(*t, [k, variant](std::string& e) {
            long code = writeRecord(k, ++*variant);
            if (code) e = std::string("write ") + k.name + ": " + storeText(code);
            return code == 0;
        });
        return t;
    }

    // Allocation timed, the number given back untimed; release the other
    // way round. Both keep the list in the same state from one to the next.
    std::unique_ptr<Timed> allocate() {
        auto t = std::make_unique<Timed>();
        t->m.row.operation = "free-list allocate";
        count(*t, [this](std::string& e) {
            long code =
                namedir::FreeList(namedir::clientAttrStore(), user_, false).allocate(allocated_);
            if (code) e = "allocate: " + storeText(code);
            return code == 0;
        });
        t->m.after = [this](size_t, std::string& e) {
            long code =
                namedir::FreeList(namedir::clientAttrStore(), user_, false).release(allocated_);
            if (code) e = "release after allocate: " + storeText(code);
            return code == 0;
        };
        return t;
    }

    std::unique_ptr<Timed> release() {
        auto t = std::make_unique<Timed>();
        t->m.row.operation = "free-list release";
        t->m.before = [this](size_t) {
            if (namedir::FreeList(namedir::clientAttrStore(), user_, false).allocate(toFree_))
                toFree_ = 0;
        };
        count(*t, [this](std::string& e) {
            long code =
                namedir::FreeList(namedir::clientAttrStore(), user_, false).release(toFree_);
            if (code) e = "release: " + storeText(code);
            return code == 0;
        });
        return t;
    }

    static void print(const std::vector<std::unique_ptr<Timed>>& all) {
        Summary readEx = summarize(all[0]->m.samples);
        Summary writeEx = summarize(all[1]->m.samples);
        std::printf("\n%-26s %5s %5s %6s %9s %9s %11s %7s %7s  %s\n", "operation", "reads", "write",
                    "n", "p50 us", "p99 us", "exch p50 us", "p50 x", "p99 x", "target");
        std::printf("%s\n", std::string(104, '-').c_str());
        int targets = 0, met = 0;
        for (const auto& t : all) {
            Summary s = summarize(t->m.samples);
            double ops = double(std::max<size_t>(t->operations, 1));
            bool baseline = t->baseline;
            double reads = baseline ? double(&t == &all[0]) : double(t->exchanges.reads) / ops;
            double writes = baseline ? double(&t == &all[1]) : double(t->exchanges.writes) / ops;
            if (s.n == 0) {
                std::printf("%-26s %5.1f %5.1f  not measured\n", t->m.row.operation.c_str(), reads,
                            writes);
                continue;
            }
            double e50 = reads * readEx.p50 + writes * writeEx.p50;
            double e99 = reads * readEx.p99 + writes * writeEx.p99;
            std::string r50, r99, target;
            if (!baseline && e50 > 0) {
                double x50 = s.p50 / e50, x99 = e99 > 0 ? s.p99 / e99 : 0;
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.2f", x50);
                r50 = buf;
                std::snprintf(buf, sizeof buf, "%.2f", x99);
                r99 = buf;
                ++targets;
                bool ok = x50 <= kTarget;
                met += ok;
                target = ok ? "<= 1.3x met" : "<= 1.3x MISSED";
            }
            std::printf("%-26s %5.1f %5.1f %6zu %9.1f %9.1f %11.1f %7s %7s  %s\n",
                        t->m.row.operation.c_str(), reads, writes, s.n, s.p50, s.p99,
                        baseline ? s.p50 : e50, r50.c_str(), r99.c_str(), target.c_str());
        }
        std::printf("\nreads/write: client API exchanges per operation (a durable write exchange "
                    "commits to disk).\nexch p50 us: that many measured single exchanges; p50 x, "
                    "p99 x: the operation over it.\ntarget: within %.1fx; %d of %d met\n",
                    kTarget, met, targets);
    }

    Plan plan_;
    std::vector<Kind> kinds_;
    std::vector<uint8_t> exchangeValue_, exchangeRead_;
    uint32_t allocated_ = 0, toFree_ = 0;

  public:
    size_t folderDocuments_ = 1000;
};

} // namespace
} // namespace bench

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("usage: store_bench_worker USER ITERATIONS WARMUP (started by store_bench)\n"
                    "The measuring half of store_bench: times the store's operations on a\n"
                    "workstation that store_bench has set up. Run store_bench instead.\n");
        return 0;
    }
    if (argc != 4 || !std::getenv("STORE_BENCH_PASSWORD")) {
        std::fprintf(stderr, "store_bench_worker is started by store_bench; run that instead\n");
        return 2;
    }
    bench::user_ = argv[1];
    std::string error;
    if (!bench::login(bench::user_, std::getenv("STORE_BENCH_PASSWORD"), error)) {
        bench::fail(error);
        return 1;
    }
    std::printf("logged in as %s\n", bench::user_.c_str());
    bench::Worker worker(std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10));
    if (const char* n = std::getenv("STORE_BENCH_DOCUMENTS"))
        worker.folderDocuments_ = std::strtoul(n, nullptr, 10);
    return worker.run();
}
