#include "store_bench_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "exchange_count.h"
#include "namedir.h"
#include "stats.h"

namespace bench {
namespace {

double nowUs() {
    return std::chrono::duration<double, std::micro>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct FolderRow {
    std::string operation;
    size_t n = 0;
    double reads = 0, writes = 0; // exchanges per operation
    double p50 = 0;               // microseconds per operation
};

// Runs `op` `n` times; false as soon as it fails.
bool measure(FolderRow& row, size_t n, const std::function<bool()>& op) {
    std::vector<double> samples;
    ExchangeCount before = exchangesSoFar();
    for (size_t i = 0; i < n; ++i) {
        double t0 = nowUs();
        if (!op()) return false;
        samples.push_back(nowUs() - t0);
    }
    ExchangeCount after = exchangesSoFar();
    row.n = n;
    row.reads = double(after.reads - before.reads) / double(n);
    row.writes = double(after.writes - before.writes) / double(n);
    row.p50 = summarize(samples).p50;
    return true;
}

std::string failure(const char* what, long code) {
    const char* text = DIRErrorText(code);
    return std::string(what) + ": " + (text ? text : "unknown store error") + " (store code " +
           std::to_string(code) + ")";
}

} // namespace

bool benchFolder(const std::string& user, size_t documents, double readUs, double writeUs,
                 std::string& error) {
    DIRDirectory dir;
    long code = 0;
    std::vector<FolderRow> rows;
    DIRFolder folder;
    folder.base.objectType = DIR_TYPE_FOLDER;
    folder.name = "A thousand documents";
    if (!dir.createNode(folder, code)) return error = failure("create the folder", code), false;

    // Documents, then the folder's contents written once.
    std::vector<DIRRefInfo> contents;
    size_t made = 0;
    FolderRow create{"create a document"};
    bool ok = measure(create, documents, [&] {
        DIRDocItem d;
        d.base.objectType = DIR_TYPE_DOCUMENT;
        d.name = "Report " + std::to_string(++made);
        d.documentText1 = "\\\\FILES\\reports\\" + std::to_string(made) + ".txt";
        d.parents.push_back({folder.address, 0});
        if (!dir.createNode(d, code)) return false;
        DIRRefInfo r;
        r.address = d.address;
        r.name = d.name;
        r.objectType = DIR_TYPE_DOCUMENT;
        r.time = d.base.created;
        contents.push_back(std::move(r));
        return true;
    });
    if (!ok) return error = failure("create a document", code), false;
    rows.push_back(create);
    std::unique_ptr<DIRCommonInfo> current;
    FolderRow write{"write the contents (" + std::to_string(documents) + ")"};
    folder.contents = contents;
    if (!measure(write, 1,
                 [&] { return dir.updateNode(DIR_MASK_CONTENTS, folder, current, code); }))
        return error = failure("write the contents", code), false;
    rows.push_back(write);

    // What the desktop does to show the folder, and to show it again.
    DIRFolder read;
    FolderRow full{"read the folder in full"};
    ok = measure(full, 20, [&] {
        read = DIRFolder();
        read.address = folder.address;
        read.base.objectType = DIR_TYPE_FOLDER;
        return dir.getFullNode(read, code) && read.contents.size() == documents;
    });
    if (!ok) return error = failure("read the folder", code), false;
    rows.push_back(full);
    FolderRow unchanged{"read again unchanged (date)"};
    ok = measure(unchanged, 200, [&] {
        DIRTime modified = 0;
        return dir.getDateLastModified(*read.address, modified, code) &&
               modified == read.base.modified;
    });
    if (!ok) return error = failure("read the date", code), false;
    rows.push_back(unchanged);

    // One more item in and out, linked both ways, checked for changes.
    DIRWebItem web;
    web.base.objectType = DIR_TYPE_WEB;
    web.name = "One more";
    web.url = "http://intranet.example/";
    if (!dir.createNode(web, code)) return error = failure("create the item", code), false;
    stNewItemRefEntry item;
    item.address = web.address;
    item.name = web.name;
    item.objectType = DIR_TYPE_WEB;
    item.time = web.base.created;
    item.modified = web.base.modified;
    stNewParentListEntry parent;
    parent.address = folder.address;
    parent.modified = read.base.modified;
    FolderRow add{"add one item"}, removal{"remove one item"};
    std::vector<double> addUs, removeUs;
    ExchangeCount addEx{}, removeEx{};
    for (int i = 0; i < 20; ++i) {
        ExchangeCount e0 = exchangesSoFar();
        double t0 = nowUs();
        if (!dir.addNodeToFolder(item, parent, current, code, true, true))
            return error = failure("add one item", code), false;
        double t1 = nowUs();
        ExchangeCount e1 = exchangesSoFar();
        DIRTime itemModified = 0;
        if (!dir.removeNodeFromFolder(item.address.get(), folder.address.get(), itemModified,
                                      parent.modified, code, true))
            return error = failure("remove one item", code), false;
        double t2 = nowUs();
        ExchangeCount e2 = exchangesSoFar();
        item.modified = itemModified;
        addUs.push_back(t1 - t0);
        removeUs.push_back(t2 - t1);
        addEx.reads += e1.reads - e0.reads;
        addEx.writes += e1.writes - e0.writes;
        removeEx.reads += e2.reads - e1.reads;
        removeEx.writes += e2.writes - e1.writes;
    }
    add.n = removal.n = addUs.size();
    add.p50 = summarize(addUs).p50;
    removal.p50 = summarize(removeUs).p50;
    add.reads = double(addEx.reads) / 20;
    add.writes = double(addEx.writes) / 20;
    removal.reads = double(removeEx.reads) / 20;
    removal.writes = double(removeEx.writes) / 20;
    rows.push_back(add);
    rows.push_back(removal);

    std::printf("\nA folder of %zu documents (%s):\n%-32s %6s %6s %6s %10s %11s %7s\n", documents,
                user.c_str(), "operation", "reads", "writes", "n", "p50 us", "exch p50 us",
                "p50 x");
    std::printf("%s\n", std::string(84, '-').c_str());
    for (const FolderRow& r : rows) {
        double exchanges = r.reads * readUs + r.writes * writeUs;
        std::printf("%-32s %6.1f %6.1f %6zu %10.1f %11.1f %7.2f\n", r.operation.c_str(), r.reads,
                    r.writes, r.n, r.p50, exchanges, exchanges > 0 ? r.p50 / exchanges : 0.0);
    }
    std::printf("reads/writes: exchanges per operation; exch p50 us: that many single "
                "exchanges of this run.\n");
    return true;
}

} // namespace bench
