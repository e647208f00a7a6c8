// The attribute definition reader over the golden files of both byte orders,
// over files damaged in every way a lying header can, and over every prefix
// of a good file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "avdformat.h"
#include "avdreader.h"
#include "avdwriter.h"

namespace {

const avd::TextSession kStarted{true};

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string s(std::istreambuf_iterator<char>(in), {});
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> golden(const char* which) {
    return readBytes(std::string(QRD_AVD_GOLDEN_DIR "/sample-") + which + ".avd");
}

uint16_t openBytes(avd::Reader& r, const std::vector<uint8_t>& bytes) {
    return r.openSource(kStarted, avd::memorySource(bytes.data(), bytes.size()));
}

std::vector<std::string> names(const avd::Page& page) {
    std::vector<std::string> out;
    for (const auto& item : page.items)
        out.push_back(item.name);
    return out;
}

class GoldenFile : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override { ASSERT_EQ(openBytes(reader, golden(GetParam())), avd::kOk); }
    avd::Reader reader;
};

TEST_P(GoldenFile, HeaderAndHistoryReadInTheFilesOrder) {
    avd::History h;
    ASSERT_EQ(reader.getHistory(&h), avd::kOk);
    EXPECT_EQ(h.updated, 1700000000u);
    EXPECT_EQ(h.updater, "ADMIN@Sales@Demo");
    EXPECT_EQ(reader.entryCount(), 7u);
    EXPECT_EQ(reader.sectionWords()[2], 1u); // one free-standing list
}

TEST_P(GoldenFile, EntriesAreFoundByNameKeysIdentifierAndNumber) {
    avd::Entry e;
    e.name = "full NAME";
    ASSERT_EQ(reader.findEntry(0, &e), avd::kOk);
    EXPECT_EQ(e.number, 2u);
    EXPECT_EQ(e.name, "Full name");

    e = {};
    e.name = "CAF\xC3\x89 MENU"; // Latin-1 capitals fold too
    ASSERT_EQ(reader.findEntry(0, &e), avd::kOk);
    EXPECT_EQ(e.name, "Caf\xC3\xA9 menu");

    e = {};
    e.groupKey = 1;
    e.itemKey = 3;
    ASSERT_EQ(reader.findEntry(1, &e), avd::kOk);
    EXPECT_EQ(e.name, "Job title");
    EXPECT_EQ(e.identifier, 103u);

    e = {};
    e.groupKey = 2;
    e.itemKey = 9;
    EXPECT_EQ(reader.findEntry(1, &e), avd::kGroupOnly);
    EXPECT_EQ(e.name, "Service information");
    EXPECT_EQ(e.itemKey, 0u);

    e = {};
    e.groupKey = 3; // no entry of its own
    e.itemKey = 9;
    EXPECT_EQ(reader.findEntry(1, &e), avd::kNotFound);

    e = {};
    e.identifier = 201;
    ASSERT_EQ(reader.findEntry(2, &e), avd::kOk);
    EXPECT_EQ(e.name, "Mailbox");

    e = {};
    e.number = 5;
    ASSERT_EQ(reader.findEntry(3, &e), avd::kOk);
    EXPECT_EQ(e.name, "Service information");

    e = {};
    e.name = "nothing like it";
    EXPECT_EQ(reader.findEntry(0, &e), avd::kNotFound);
    EXPECT_EQ(reader.findEntry(4, &e), avd::kBadMode);
    EXPECT_EQ(reader.findEntry(-1, &e), avd::kBadMode);
    EXPECT_EQ(reader.findEntry(0, nullptr), avd::kMissingArg);
}

TEST_P(GoldenFile, GeneralListPagesForwardBackwardAndByName) {
    avd::PageRequest req;
    req.list.kind = avd::ListRef::General;
    req.count = 2;
    avd::Page page;
    ASSERT_EQ(reader.getPage(1, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Alpha", "Bravo"}));
    EXPECT_EQ(page.firstPercent, 0u);
    EXPECT_EQ(page.lastPercent, 50u);
    EXPECT_EQ(page.items[1].value, 20u);

    ASSERT_EQ(reader.getPage(3, req, &page), avd::kOk); // after Bravo: a full page ends the list
    EXPECT_EQ(names(page), (std::vector<std::string>{"Bravo", "Charlie"}));
    EXPECT_EQ(page.lastPercent, 100u);

    ASSERT_EQ(reader.getPage(4, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Alpha", "Bravo"}));

    ASSERT_EQ(reader.getPage(2, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Bravo", "Charlie"}));
    EXPECT_EQ(page.firstPercent, 50u);

    req.count = 1;
    req.fromName = "bz";
    ASSERT_EQ(reader.getPage(5, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Charlie"}));

    req.percent = 50;
    ASSERT_EQ(reader.getPage(3, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Bravo"}));
    req.percent = 0;
    ASSERT_EQ(reader.getPage(4, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Alpha"}));

    EXPECT_EQ(reader.getPage(6, req, &page), avd::kBadMode);
    EXPECT_EQ(reader.getPage(1, req, nullptr), avd::kMissingArg);
}

TEST_P(GoldenFile, EntryValueListsAndFreeStandingListsPage) {
    avd::Entry e;
    e.number = 4;
    ASSERT_EQ(reader.findEntry(3, &e), avd::kOk);
    avd::PageRequest req{{avd::ListRef::EntryList, e.valueList}, 10, {}, {}};
    avd::Page page;
    ASSERT_EQ(reader.getPage(1, req, &page), avd::kOk);
    EXPECT_EQ(names(page), (std::vector<std::string>{"Engineer", "Manager", "Sales"}));
    EXPECT_EQ(page.total, 3u);

    e.number = 2; // no values: an empty page at 0 and 100
    ASSERT_EQ(reader.findEntry(3, &e), avd::kOk);
    req.list.offset = e.valueList;
    ASSERT_EQ(reader.getPage(2, req, &page), avd::kOk);
    EXPECT_TRUE(page.items.empty());
    EXPECT_EQ(page.firstPercent, 0u);
    EXPECT_EQ(page.lastPercent, 100u);

    req.list = {avd::ListRef::Table, reader.sectionWords()[3]};
    ASSERT_EQ(reader.getPage(1, req, &page), avd::kOk);
    ASSERT_EQ(page.items.size(), 2u);
    EXPECT_EQ(page.items[1].name, "Two");
    EXPECT_EQ(page.items[1].value, 2u);
    EXPECT_EQ(page.items[1].second, 200u);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, GoldenFile, testing::Values("le", "be"));

// The golden description written in another order, through the public writer.
std::vector<uint8_t> sampleIn(const avd::ByteOrder& order) {
    std::ifstream in(QRD_AVD_GOLDEN_DIR "/sample.txt");
    std::string text(std::istreambuf_iterator<char>(in), {});
    avd::Definition def;
    std::vector<std::string> problems;
    EXPECT_TRUE(avd::parseDescription(text, def, problems));
    return avd::writeDefinition(def, order);
}

TEST(AvdByteOrder, MarksWithReversedBitsAndShuffledBytesAreLearned) {
    const uint8_t shuffled[4] = {0x34, 0x78, 0x12, 0x56};
    const uint8_t reversed[4] = {0x1E, 0x6A, 0x2C, 0x48}; // 78 56 34 12 bit-reversed
    for (const uint8_t* mark : {shuffled, reversed}) {
        auto order = avd::ByteOrder::learn(mark);
        ASSERT_TRUE(order);
        avd::Reader r;
        ASSERT_EQ(openBytes(r, sampleIn(*order)), avd::kOk);
        avd::Entry e;
        e.identifier = 103;
        ASSERT_EQ(r.findEntry(2, &e), avd::kOk);
        EXPECT_EQ(e.name, "Job title");
    }
    const uint8_t doubled[4] = {0x12, 0x12, 0x56, 0x78};
    const uint8_t zero[4] = {};
    EXPECT_FALSE(avd::ByteOrder::learn(doubled));
    EXPECT_FALSE(avd::ByteOrder::learn(zero));
}

void putWord(std::vector<uint8_t>& bytes, uint32_t at, uint32_t value) {
    avd::ByteOrder::little().write(value, &bytes[at]);
}

TEST(AvdReader, OpenRefusesWhatIsNotADefinitionFile) {
    avd::Reader r;
    std::vector<uint8_t> good = golden("le");

    EXPECT_EQ(openBytes(r, {0x78, 0x56}), avd::kReadError);
    EXPECT_EQ(openBytes(r, {'h', 'e', 'l', 'l', 'o', '!', '!', '!'}), avd::kNotAvdFile);
    auto bad = good;
    putWord(bad, avd::kVersionAt, 2);
    EXPECT_EQ(openBytes(r, bad), avd::kBadVersion);
    bad = good;
    putWord(bad, avd::kEntryCountAt, 0x10000000); // a table far beyond the file
    EXPECT_EQ(openBytes(r, bad), avd::kReadError);
    bad = good;
    putWord(bad, avd::kEntryTableAt, 0xFFFFFFF0);
    EXPECT_EQ(openBytes(r, bad), avd::kReadError);
    bad.assign(good.begin(), good.begin() + avd::kUpdaterAt + 3); // updater name cut short
    EXPECT_EQ(openBytes(r, bad), avd::kReadError);
    EXPECT_FALSE(r.isOpen());

    EXPECT_EQ(r.openSource(avd::TextSession{}, avd::memorySource(good.data(), good.size())),
              avd::kNoSession);
    EXPECT_EQ(r.open(kStarted, "/nonexistent/qorda.avd"), avd::kCannotOpen);
    EXPECT_EQ(r.open(kStarted, "/tmp"), avd::kCannotOpen);
    EXPECT_EQ(r.open(kStarted, ""), avd::kMissingArg);
    EXPECT_EQ(r.close(), avd::kNotOpen);
    ASSERT_EQ(openBytes(r, good), avd::kOk);
    EXPECT_EQ(openBytes(r, good), avd::kAlreadyOpen);
    EXPECT_EQ(r.close(), avd::kOk);
    avd::History h;
    EXPECT_EQ(r.getHistory(&h), avd::kNotOpen);
}

TEST(AvdReader, OpensAFileOnDiskWithASmallLentCacheSize) {
    std::vector<uint8_t> good = golden("be");
    std::string path = testing::TempDir() + "/reader_test.avd";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(good.data()), std::streamsize(good.size()));
    avd::Reader r;
    ASSERT_EQ(r.open(kStarted, path, 16), avd::kOk);
    avd::Entry e;
    e.name = "mailbox";
    ASSERT_EQ(r.findEntry(0, &e), avd::kOk);
    EXPECT_EQ(e.groupKey, 2u);
    std::remove(path.c_str());
}

TEST(AvdReader, LyingOffsetsAndCountsGiveReadErrors) {
    std::vector<uint8_t> good = golden("le");
    const uint32_t entry2 = avd::kHeaderSize + 1 * avd::kEntrySize; // "Full name"
    const uint32_t entry4 = avd::kHeaderSize + 3 * avd::kEntrySize; // "Job title"
    struct Case {
        const char* what;
        uint32_t at;
        uint32_t value;
    } cases[] = {
        {"name beyond the end", entry2 + avd::kEntryNameAt, uint32_t(good.size())},
        {"name at the last byte, unterminated", entry2 + avd::kEntryNameAt,
         uint32_t(good.size() - 1)},
        {"value list before the list area", entry4 + avd::kEntryListAt, 8},
        {"value list after the list area", entry4 + avd::kEntryListAt, 0x7FFFFFFF},
        {"list area end below 4", avd::kListAreaEndAt, 2},
    };
    for (const Case& c : cases) {
        auto bad = good;
        if (std::string(c.what).find("unterminated") != std::string::npos) bad.back() = 'x';
        putWord(bad, c.at, c.value);
        avd::Reader r;
        ASSERT_EQ(openBytes(r, bad), avd::kOk) << c.what;
        avd::Entry e;
        e.number = 4;
        ASSERT_EQ(r.findEntry(3, &e), avd::kOk) << c.what;
        avd::PageRequest req{{avd::ListRef::EntryList, e.valueList}, 7, {}, {}};
        avd::Page page;
        uint16_t list = r.getPage(1, req, &page);
        e = {};
        e.name = "Full name";
        uint16_t byName = r.findEntry(0, &e);
        EXPECT_TRUE(list == avd::kReadError || byName == avd::kReadError) << c.what;
    }

    // A value list whose count runs past the end of the file.
    auto bad = good;
    avd::Reader r0;
    ASSERT_EQ(openBytes(r0, good), avd::kOk);
    avd::Entry e;
    e.number = 4;
    ASSERT_EQ(r0.findEntry(3, &e), avd::kOk);
    putWord(bad, e.valueList, 0xFFFFFFFF);
    avd::Reader r;
    ASSERT_EQ(openBytes(r, bad), avd::kOk);
    avd::PageRequest req{{avd::ListRef::EntryList, e.valueList}, 7, {}, {}};
    avd::Page page;
    EXPECT_EQ(r.getPage(2, req, &page), avd::kReadError);
    req.list.kind = avd::ListRef::General; // found after the lying list
    EXPECT_EQ(r.getPage(1, req, &page), avd::kReadError);
}

TEST(AvdReader, EveryPrefixOfAGoodFileGivesAnErrorOrTheRightAnswer) {
    const std::set<uint16_t> allowed = {avd::kOk, avd::kReadError, avd::kNotFound, avd::kGroupOnly};
    for (const char* which : {"le", "be"}) {
        std::vector<uint8_t> good = golden(which);
        for (size_t n = 0; n < good.size(); ++n) {
            std::vector<uint8_t> cut(good.begin(), good.begin() + n);
            avd::Reader r;
            uint16_t s = openBytes(r, cut);
            ASSERT_TRUE(s == avd::kOk || s == avd::kReadError) << n;
            if (s != avd::kOk) continue;
            for (uint32_t i = 0; i < r.entryCount(); ++i) {
                avd::Entry e;
                s = r.entryAt(i, &e);
                ASSERT_TRUE(allowed.count(s)) << n;
                avd::PageRequest req{{avd::ListRef::EntryList, e.valueList}, 7, {}, "M"};
                avd::Page page;
                if (s == avd::kOk) {
                    ASSERT_TRUE(allowed.count(r.getPage(5, req, &page))) << n;
                }
            }
            // The free-standing list's last name is the file's last text:
            // only the whole file gives that page.
            avd::PageRequest req{{avd::ListRef::Table, r.sectionWords()[3]}, 2, {}, {}};
            avd::Page page;
            EXPECT_EQ(r.getPage(1, req, &page), avd::kReadError) << n;
        }
    }
}

} // namespace
