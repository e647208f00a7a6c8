// The publication model: recipients, counters, cancel and the folder's lock,
// with the publishing of one recipient replaced by the test's own.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "core/strings.h"
#include "fake_membership.h"
#include "folders/usrfoldernode.h"
#include "publish/usrpublication.h"
#include "script_prompter.h"

namespace {

struct Publication : ::testing::Test {
    DIRDirectory dir;
    USRContext ctx{dir};
    FakeMembership m;
    ScriptPrompter prompter;
    USRFolderNode folder{ctx};

    void SetUp() override {
        ctx.setMembership(&m);
        ctx.setPrompter(&prompter);
        DIRNmDirectoryAddress a("Sales@Demo", 52, 200200, 9);
        long e = 0;
        ASSERT_TRUE(folder.setAddress(&a, e));
        folder.setName("Plans");
        m.groups["Sales@Demo"] = {"alice@Sales@Demo", "bob@Sales@Demo", "erin@Sales@Demo"};
        folder.data().accessRights = {{"alice@Sales@Demo", 1, 3, false},
                                      {"Sales@Demo", 5, 1, false}};
    }

    // Runs the timer until the publication is done; the rows it showed.
    std::vector<USRPublication::Row> drain(USRPublication& p) {
        std::vector<USRPublication::Row> rows;
        for (int i = 0; i < 2000; ++i) {
            USRPublication::Tick t = p.tick();
            rows.insert(rows.end(), t.rows.begin(), t.rows.end());
            if (t.done) return rows;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the publication did not finish";
        return rows;
    }
};

TEST_F(Publication, AGroupWithOneNonUserCountsOneNotUserAndNoError) {
    auto p = USRPublication::open(folder);
    ASSERT_TRUE(p);
    p->setPublisher([](const std::string& r, long& e) {
        if (r == "erin@Sales@Demo") {
            e = DIR_NOT_A_USER;
            return false;
        }
        return true;
    });
    ASSERT_TRUE(p->start({1}));
    std::vector<USRPublication::Row> rows = drain(*p);
    ASSERT_EQ(rows.size(), 3u);
    int sent = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(r.member, "Sales@Demo");
        if (r.status == "Sent")
            ++sent;
        else
            EXPECT_EQ(r.status, USRErrorText(DIR_NOT_A_USER, true)) << r.recipient;
    }
    EXPECT_EQ(sent, 2);
    EXPECT_EQ(p->total(), 3);
    EXPECT_EQ(p->errors(), 0);
    EXPECT_EQ(p->notUsers(), 1);
    EXPECT_EQ(p->caption(), "Done Plans");
    EXPECT_EQ(p->state(), USRPublication::Idle);
}

TEST_F(Publication, CancelAfterTheFirstOfTenStopsAfterThatOne) {
    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back("u" + std::to_string(i) + "@Sales@Demo");
    m.groups["Sales@Demo"] = ten;
    auto p = USRPublication::open(folder);
    ASSERT_TRUE(p);
    std::mutex lock;
    std::condition_variable cv;
    bool inFirst = false, released = false;
    int calls = 0;
    p->setPublisher([&](const std::string&, long&) {
        std::unique_lock<std::mutex> hold(lock);
        if (++calls == 1) {
            inFirst = true;
            cv.notify_all();
            cv.wait(hold, [&] { return released; });
        }
        return true;
    });
    ASSERT_TRUE(p->start({1}));
    {
        std::unique_lock<std::mutex> hold(lock);
        ASSERT_TRUE(cv.wait_for(hold, std::chrono::seconds(10), [&] { return inFirst; }));
    }
    p->cancel();
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
    }
    cv.notify_all();
    std::vector<USRPublication::Row> rows = drain(*p);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(p->total(), 1);
    EXPECT_EQ(p->caption().rfind("Done", 0), 0u);
}

TEST_F(Publication, NothingChosenBeepsAndPublishesNothing) {
    auto p = USRPublication::open(folder);
    ASSERT_TRUE(p);
    int calls = 0;
    p->setPublisher([&](const std::string&, long&) { return ++calls, true; });
    EXPECT_FALSE(p->start({}));
    EXPECT_EQ(prompter.beeps, 1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(p->state(), USRPublication::Idle);
}

TEST_F(Publication, AMemberAddedSinceTheLastPublicationIsPublishedWithoutBeingChosen) {
    long e = 0;
    ASSERT_TRUE(folder.setRole("dave@Support@Demo", 2, e)); // marked as added
    auto p = USRPublication::open(folder);
    ASSERT_TRUE(p);
    std::vector<std::string> got;
    p->setPublisher([&](const std::string& r, long&) { return got.push_back(r), true; });
    ASSERT_TRUE(p->start({}));
    drain(*p);
    EXPECT_EQ(got, std::vector<std::string>{"dave@Support@Demo"});
}

TEST_F(Publication, TheFolderIsLockedWhileItsWindowIsOpen) {
    auto first = USRPublication::open(folder);
    ASSERT_TRUE(first);
    EXPECT_FALSE(USRPublication::open(folder));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], "Folder is locked, cannot publish: Plans");
    EXPECT_FALSE(folder.takeBusyLock());
    first.reset();
    EXPECT_TRUE(folder.takeBusyLock());
    folder.releaseBusyLock();
}

TEST_F(Publication, ClosingWhileRunningWaitsForTheRecipientInProgress) {
    auto p = USRPublication::open(folder);
    ASSERT_TRUE(p);
    std::atomic<int> done{0};
    std::atomic<bool> started{false};
    p->setPublisher([&](const std::string&, long&) {
        started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++done;
        return true;
    });
    ASSERT_TRUE(p->start({1}));
    while (!started)
        std::this_thread::yield();
    p.reset(); // closes: cancel, wait
    EXPECT_GE(done.load(), 1);
    EXPECT_LT(done.load(), 3);
    EXPECT_TRUE(folder.takeBusyLock());
}

} // namespace
