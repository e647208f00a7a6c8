// The result list's paging over a directory in memory: pages, lines, the
// thumb, typed positions, selections across pages, failures and criteria.
#include <gtest/gtest.h>

#include <functional>

#include "fakedirectory.h"
#include "pager.h"
#include "search.h"

namespace {

using browsetest::FakeDirectory;

std::vector<std::string> names(const browse::Pager& p) {
    std::vector<std::string> out;
    for (const auto& r : p.rows())
        out.push_back(r.name.substr(0, r.name.find('@')));
    return out;
}

TEST(Pager, FiveNamesPageDownFetchesTheLastPageWithItsLastRowAtTheBottom) {
    FakeDirectory dir = FakeDirectory::numbered(5);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    EXPECT_EQ(p.rows().size(), 5u);
    EXPECT_EQ(p.currentRow(), 0);
    EXPECT_EQ(p.scrollValue(), 0);
    EXPECT_EQ(p.description(), "Person 0");

    ASSERT_EQ(p.nextPage(), QRD_OK);
    EXPECT_EQ(dir.queries, 3); // first, next (short), last
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_LAST);
    EXPECT_EQ(p.rows().size(), 5u);
    EXPECT_EQ(p.currentRow(), 4);
    EXPECT_EQ(p.scrollValue(), 100);
}

TEST(Pager, PagesKeepTheSelectedRowAndPutTheThumbAtTheBoundingPositions) {
    FakeDirectory dir = FakeDirectory::numbered(100);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    p.click(3);
    ASSERT_EQ(p.nextPage(), QRD_OK);
    EXPECT_EQ(+dir.lastContext.forward, QRD_NMDA_POS_BESIDE);
    EXPECT_EQ(names(p).front(), "USER007");
    EXPECT_EQ(p.currentRow(), 3);
    EXPECT_EQ(p.scrollValue(), +p.context().backward); // 13 * 100 / 99
    EXPECT_EQ(p.scrollValue(), 13);
    EXPECT_EQ(p.scrollPageStep(), 13 - 7);

    ASSERT_EQ(p.previousPage(), QRD_OK);
    EXPECT_EQ(+dir.lastContext.backward, QRD_NMDA_POS_BESIDE);
    EXPECT_EQ(names(p).front(), "USER000");
    EXPECT_EQ(p.currentRow(), 3);
    EXPECT_EQ(p.scrollValue(), 0);

    ASSERT_EQ(p.last(), QRD_OK);
    EXPECT_EQ(names(p).back(), "USER099");
    EXPECT_EQ(p.currentRow(), 6);
    EXPECT_EQ(p.scrollValue(), 100);
    // Page up from the last page is a full page: no fall back.
    ASSERT_EQ(p.previousPage(), QRD_OK);
    EXPECT_EQ(names(p).front(), "USER086");
}

TEST(Pager, LinesCrossPageBoundariesOneNameAtATime) {
    FakeDirectory dir = FakeDirectory::numbered(100);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(p.nextLine(), QRD_OK);
    EXPECT_EQ(p.currentRow(), 6);
    ASSERT_EQ(p.nextLine(), QRD_OK);
    EXPECT_EQ(names(p).front(), "USER007");
    EXPECT_EQ(p.currentRow(), 0);
    ASSERT_EQ(p.previousLine(), QRD_OK);
    EXPECT_EQ(names(p).back(), "USER006");
    EXPECT_EQ(p.currentRow(), 6);

    // At the very end a line down stays on the last name instead of jumping.
    ASSERT_EQ(p.last(), QRD_OK);
    ASSERT_EQ(p.nextLine(), QRD_OK);
    EXPECT_EQ(p.rows()[size_t(p.currentRow())].name, "USER099@Sales@Demo");
    // One name before the end: a line down reaches the last name.
    p.click(5);
    ASSERT_EQ(p.nextLine(), QRD_OK);
    ASSERT_EQ(p.nextLine(), QRD_OK);
    EXPECT_EQ(p.currentRow(), 6);
    ASSERT_EQ(p.first(), QRD_OK);
    ASSERT_EQ(p.previousLine(), QRD_OK);
    EXPECT_EQ(p.rows()[size_t(p.currentRow())].name, "USER000@Sales@Demo");
}

// A service that always answers one page bounded by 20 and 45.
struct FixedPage : browse::NameSource {
    QRDSTATUS query(QRD_NMDA_CONTEXT& c, QRD_NMDA_QUERY&, QRD_NMDA_RESULT& r) override {
        r = {};
        for (int i = 0; i < QRD_NMDA_PAGE; ++i)
            std::snprintf(r.entries[r.count++].name, NMNAMELEN, "N%d", i);
        c.forward = 20;
        c.backward = 45;
        return QRD_OK;
    }
};

TEST(Pager, ALineDownWithinAPageMovesTheThumbByTheRowsShare) {
    FixedPage source;
    browse::Pager p(source, false);
    ASSERT_EQ(p.first(), QRD_OK);
    p.click(1);
    ASSERT_EQ(p.nextLine(), QRD_OK);
    EXPECT_EQ(p.currentRow(), 2);
    EXPECT_EQ(p.scrollValue(), 30); // 20 + 25 * 2 / 5
    EXPECT_EQ(p.scrollPageStep(), 25);
}

TEST(Pager, TheThumbAsksForwardAboveThePageAndBackwardBelowIt) {
    FakeDirectory dir = FakeDirectory::numbered(100);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    ASSERT_EQ(p.thumb(50), QRD_OK);
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_NEXT);
    EXPECT_EQ(+dir.lastContext.forward, 50);
    EXPECT_EQ(names(p).front(), "USER049");
    EXPECT_EQ(p.scrollValue(), +p.context().backward);

    ASSERT_EQ(p.thumb(10), QRD_OK);
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_PREVIOUS);
    EXPECT_EQ(+dir.lastContext.backward, 10);
    EXPECT_EQ(names(p).back(), "USER009");
    EXPECT_EQ(p.scrollValue(), +p.context().forward);

    ASSERT_EQ(p.thumb(99), QRD_OK); // two names left: the last page instead
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_LAST);
    EXPECT_EQ(p.scrollValue(), 100);
    EXPECT_EQ(p.currentRow(), 6);
    ASSERT_EQ(p.thumb(0), QRD_OK); // nothing before the first name: the first page
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_FIRST);
    EXPECT_EQ(p.scrollValue(), 0);
}

TEST(Pager, TypedTextPositionsThePageAndItsClearingSendsNoQuery) {
    FakeDirectory dir = FakeDirectory::numbered(100);
    browse::Pager p(dir, false);
    std::function<void()> clear = [&] { p.textTyped(""); }; // as the field's change signal does
    p.onClearSearchField(clear);
    ASSERT_EQ(p.first(), QRD_OK);
    ASSERT_EQ(p.textTyped("user05"), QRD_OK);
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_AT_TEXT);
    EXPECT_EQ(std::string(dir.lastContext.positionText), "user05");
    EXPECT_EQ(names(p).front(), "USER050");
    EXPECT_EQ(p.scrollValue(), +p.context().forward);

    int before = dir.queries;
    ASSERT_EQ(p.nextPage(), QRD_OK);
    EXPECT_EQ(dir.queries, before + 1);
    EXPECT_EQ(+dir.lastContext.operation, QRD_NMDA_OP_NEXT);
    EXPECT_EQ(names(p).front(), "USER057");

    // Only the first 32 characters travel, without a terminator when full.
    ASSERT_EQ(p.textTyped(std::string(40, 'u')), QRD_OK);
    EXPECT_EQ(std::string(dir.lastContext.positionText, QRD_NMDA_TEXT_LEN), std::string(32, 'u'));
}

TEST(Pager, ChosenNamesSurvivePageChangesInMultipleSelection) {
    FakeDirectory dir = FakeDirectory::numbered(30);
    browse::Pager p(dir, true);
    ASSERT_EQ(p.first(), QRD_OK);
    p.click(2);
    EXPECT_TRUE(p.isChosen(2));
    EXPECT_FALSE(p.isChosen(3));
    ASSERT_EQ(p.nextPage(), QRD_OK);
    EXPECT_FALSE(p.isChosen(2));
    p.click(0);
    ASSERT_EQ(p.previousPage(), QRD_OK);
    EXPECT_TRUE(p.isChosen(2));
    EXPECT_EQ(p.chosen(), (std::vector<std::string>{"USER002@Sales@Demo", "USER007@Sales@Demo"}));
    p.click(2); // a second click takes it back
    EXPECT_FALSE(p.isChosen(2));
    EXPECT_EQ(p.chosen(), (std::vector<std::string>{"USER007@Sales@Demo"}));
    EXPECT_EQ(p.currentRow(), 2);
}

TEST(Pager, AFailedQueryLeavesThePageAndPositionsAsTheyWere) {
    FakeDirectory dir = FakeDirectory::numbered(100);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    ASSERT_EQ(p.nextPage(), QRD_OK);
    auto rows = names(p);
    QRD_NMDA_CONTEXT context = p.context();
    dir.failWith = QRDERR_TIMEOUT;
    for (auto request : {&browse::Pager::nextPage, &browse::Pager::previousPage,
                         &browse::Pager::first, &browse::Pager::last}) {
        EXPECT_EQ((p.*request)(), QRDERR_TIMEOUT);
        EXPECT_EQ(names(p), rows);
        EXPECT_EQ(+p.context().forward, +context.forward);
        EXPECT_EQ(+p.context().backward, +context.backward);
    }
    EXPECT_EQ(p.thumb(80), QRDERR_TIMEOUT);
    EXPECT_EQ(p.textTyped("x"), QRDERR_TIMEOUT);
    EXPECT_EQ(names(p), rows);
}

TEST(Pager, AServiceThatAnswersMoreThanAPageShowsOnlyAPage) {
    struct Flood : browse::NameSource {
        QRDSTATUS query(QRD_NMDA_CONTEXT&, QRD_NMDA_QUERY&, QRD_NMDA_RESULT& r) override {
            r = {};
            r.count = 60000; // more than the record holds
            return QRD_OK;
        }
    } flood;
    browse::Pager p(flood, false);
    ASSERT_EQ(p.first(), QRD_OK);
    EXPECT_EQ(p.rows().size(), size_t(QRD_NMDA_PAGE));
}

TEST(Pager, RefinementsAddOneDescriptionCriterionAndOverwriteIt) {
    FakeDirectory dir = FakeDirectory::numbered(20);
    browse::Pager p(dir, false);
    p.refine("USER01*", "Person 1*");
    ASSERT_EQ(p.first(), QRD_OK);
    EXPECT_EQ(dir.lastPattern, "USER01*");
    ASSERT_EQ(dir.lastCriteria.size(), 1u);
    EXPECT_EQ(+dir.lastCriteria[0].first.match, QRD_NMDA_MATCH_PATTERN);
    EXPECT_EQ(+dir.lastCriteria[0].first.length, 10);
    EXPECT_EQ(dir.lastCriteria[0].second, "Person 1*");

    p.refine("*@*@*", "Person 3");
    ASSERT_EQ(p.first(), QRD_OK);
    ASSERT_EQ(dir.lastCriteria.size(), 1u);
    EXPECT_EQ(+dir.lastCriteria[0].first.match, QRD_NMDA_MATCH_EXACT);
    EXPECT_EQ(dir.lastCriteria[0].second, "Person 3");
    EXPECT_EQ(names(p), (std::vector<std::string>{"USER003"}));

    ASSERT_EQ(p.setKind(QRD_NMDA_KIND_LISTS), QRD_OK);
    EXPECT_EQ(+dir.lastContext.kind, QRD_NMDA_KIND_LISTS);
    EXPECT_TRUE(dir.lastCriteria.empty());
    EXPECT_EQ(p.pattern(), "*@*@*");
}

struct ScriptedPrompts : browse::SearchPrompts {
    std::vector<std::pair<std::string, std::string>> refinements; // answered in turn
    std::vector<std::vector<browse::AttributeCriterion>> attributeAnswers;
    std::vector<bool> retries;
    int asked = 0;
    bool askRefine(std::string& name, std::string& description) override {
        if (refinements.empty()) return false;
        std::tie(name, description) = refinements.front();
        refinements.erase(refinements.begin());
        return true;
    }
    bool askAttributes(std::vector<browse::AttributeCriterion>& criteria) override {
        if (attributeAnswers.empty()) return false;
        criteria = attributeAnswers.front();
        attributeAnswers.erase(attributeAnswers.begin());
        return true;
    }
    bool askTooRestrictive() override {
        ++asked;
        bool again = !retries.empty() && retries.front();
        if (!retries.empty()) retries.erase(retries.begin());
        return again;
    }
};

TEST(Search, ARefinementThatMatchesNothingCancelledLeavesTheUnrefinedFirstPage) {
    FakeDirectory dir = FakeDirectory::numbered(20);
    browse::Pager p(dir, false);
    ASSERT_EQ(p.first(), QRD_OK);
    ScriptedPrompts ui;
    ui.refinements = {{"*@*@*", "Nobody"}, {"*@*@*", "Nobody either"}};
    ui.retries = {true, false};
    ASSERT_EQ(browse::refineSearch(p, ui), QRD_OK);
    EXPECT_EQ(ui.asked, 2);
    EXPECT_EQ(p.criteriaCount(), 0u);
    EXPECT_TRUE(dir.lastCriteria.empty());
    EXPECT_EQ(names(p).front(), "USER000");
    EXPECT_EQ(p.rows().size(), 7u);
}

TEST(Search, ARefinementThatMatchesIsShownAtTheTop) {
    FakeDirectory dir = FakeDirectory::numbered(20);
    browse::Pager p(dir, false);
    ScriptedPrompts ui;
    ui.refinements = {{"", "Person 1*"}};
    ASSERT_EQ(browse::refineSearch(p, ui), QRD_OK);
    EXPECT_EQ(ui.asked, 0);
    EXPECT_EQ(names(p).front(), "USER001");
    EXPECT_EQ(p.scrollValue(), 0);
    EXPECT_EQ(p.descriptionPattern(), "Person 1*");
}

TEST(Search, AttributeCriteriaStopAtFiveAndCancelClearsThem) {
    std::vector<browse::AttributeCriterion> criteria;
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_TRUE(browse::addAttributeCriterion(criteria, {{1, i + 1}, "x*"}));
    EXPECT_FALSE(browse::addAttributeCriterion(criteria, {{1, 6}, "y"}));
    EXPECT_EQ(criteria.size(), 5u);

    FakeDirectory dir = FakeDirectory::numbered(20);
    browse::Pager p(dir, false);
    ScriptedPrompts ui;
    ui.attributeAnswers = {criteria};
    ASSERT_EQ(browse::findByAttribute(p, ui), QRD_OK);
    ASSERT_EQ(dir.lastCriteria.size(), 5u);
    EXPECT_EQ(+dir.lastCriteria[4].first.attr.number, 5u);
    EXPECT_EQ(+dir.lastCriteria[4].first.match, QRD_NMDA_MATCH_PATTERN);
    ASSERT_EQ(browse::findByAttribute(p, ui), QRD_OK); // cancelled
    EXPECT_TRUE(dir.lastCriteria.empty());
}

} // namespace
