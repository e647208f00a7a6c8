// Feeds arbitrary bytes as an attribute definition file. Whatever the file
// claims, the reader answers with a status and never reads outside it; pages
// never hold more items than asked for and their positions stay in 0-100.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "avdreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    avd::Reader reader;
    if (reader.openSource(avd::TextSession{true}, avd::memorySource(data, size), 200) != avd::kOk)
        return 0;
    avd::History history;
    if (reader.getHistory(&history) != avd::kOk) std::abort();

    auto page = [&](avd::ListRef list) {
        for (int mode = 1; mode <= 5; ++mode) {
            avd::PageRequest req{list, 7, mode >= 3 && mode <= 4 ? 50u : 0u, "M"};
            if (mode == 3) req.percent.reset();
            avd::Page p;
            if (reader.getPage(mode, req, &p) != avd::kOk) continue;
            if (p.items.size() > 7 || p.firstPercent > 100 || p.lastPercent > 100) std::abort();
            for (const auto& item : p.items)
                if (item.name.size() > 2 * avd::kMaxNameLen) std::abort();
        }
    };
    // Entries beyond the first few only repeat the same reads.
    for (uint32_t i = 0; i < reader.entryCount() && i < 16; ++i) {
        avd::Entry e;
        if (reader.entryAt(i, &e) != avd::kOk) continue;
        page({avd::ListRef::EntryList, e.valueList});
        for (int how = 0; how <= 3; ++how) {
            avd::Entry probe = e;
            reader.findEntry(how, &probe);
        }
    }
    page({avd::ListRef::General, 0});
    page({avd::ListRef::Table, reader.sectionWords()[3]});
    return 0;
}
