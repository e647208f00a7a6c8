// Names matching a pattern, list members, membership and profile entries,
// datagram in and datagram out.
#include <gtest/gtest.h>

#include "nwd_fixture.h"

using namespace nwd;
using nwdtest::Call;
using nwdtest::Reply;

namespace {

struct Page {
    uint16_t code = 0;
    uint16_t passnum = 0, tag = 0xFFFF;
    std::vector<std::string> names;
};

class ListTest : public nwdtest::HandlerTest {
  protected:
    Page decode(const Reply& r) {
        Page p;
        p.code = r.code;
        if (!r.ok()) return p;
        qrd::BeReader rd = r.reader();
        p.passnum = rd.u16();
        p.tag = rd.u16();
        p.names.resize(rd.u16());
        EXPECT_LE(p.names.size(), 16u);
        for (std::string& n : p.names)
            rd.string(n, 63);
        EXPECT_TRUE(rd.ok());
        return p;
    }
    Page names(const std::string& pattern, uint16_t objType, uint16_t category,
               uint16_t passnum = 0) {
        return decode(call(Call(qrd::nm::kListNames)
                               .bytes(sid)
                               .str(pattern)
                               .u16(objType)
                               .u16(category)
                               .u16(0)
                               .bytes(std::vector<uint8_t>(16))
                               .u16(passnum)));
    }
    Page members(const std::string& list, uint16_t passnum = 0) {
        return decode(call(Call(qrd::nm::kListMembers).bytes(sid).str(list).u16(passnum)));
    }
    // 1/0, or the refusal + 100.
    int member(const std::string& object, const std::string& list, uint16_t flag = 1) {
        Reply r = call(Call(qrd::nm::kMembership).bytes(sid).str(object).str(list).u16(flag));
        return r.ok() ? r.reader().u16() : 100 + r.code;
    }
    std::vector<uint8_t> sid = sessionOf("bob@Sales@Demo", "bob-pw");
};

using Names = std::vector<std::string>;

TEST_F(ListTest, PatternsMatchPartByPartAndEachReplyHoldsOneKind) {
    Page users = names("*@sales@DEMO", 300, 1);
    EXPECT_EQ(users.code, 0);
    EXPECT_EQ(users.tag, 1);
    EXPECT_EQ(users.names, (Names{"alice@Sales@Demo", "bob@Sales@Demo"}));
    EXPECT_EQ(users.passnum, 0);
    EXPECT_EQ(names("*@*@*", 300, 1).names,
              (Names{"alice@Sales@Demo", "bob@Sales@Demo", "jos\xE9@Support@Demo"}));
    EXPECT_EQ(names("*e@*@*", 300, 1).names, (Names{"alice@Sales@Demo"}));
    EXPECT_EQ(names("a*i*@*@*", 300, 0).names, (Names{"ali@Sales@Demo", "alice@Sales@Demo"}));
    EXPECT_EQ(names("*", 100, 0).names, (Names{"Demo"}));
    Page groups = names("*@Demo", 200, 0);
    EXPECT_EQ(groups.tag, 6);
    EXPECT_EQ(groups.names, (Names{"Sales@Demo", "Support@Demo"}));
    EXPECT_EQ(names("*@*@*", 300, 3).names, (Names{"Team@Sales@Demo"}));

    // Services: file services (5) and print services (4) in replies of their own.
    Page first = names("*@*@*", 300, 2);
    EXPECT_EQ(first.tag, 4);
    EXPECT_EQ(first.names, (Names{"PRINT@Support@Demo"}));
    ASSERT_NE(first.passnum, 0);
    Page second = names("*@*@*", 300, 2, first.passnum);
    EXPECT_EQ(second.tag, 5);
    EXPECT_EQ(second.names, (Names{"FILES@Sales@Demo"}));
    EXPECT_EQ(second.passnum, 0);
    // The store's question "is this name a file service?"
    EXPECT_EQ(names("files@sales@demo", 300, 2).tag, 5);

    EXPECT_EQ(names("carl*@*@*", 300, 1).code, 1041);
    EXPECT_EQ(names("*@*@*", 300, 1, 3).code, 1041) << "past the end";
    EXPECT_EQ(names("*@Demo", 300, 1).code, 1001) << "parts must fit the list kind";
    EXPECT_EQ(names("a@@Demo", 300, 1).code, 1001);
    EXPECT_EQ(names("a?@*@*", 300, 1).code, 1001);
    EXPECT_EQ(names("*@*@*", 301, 1).code, 1068);
    EXPECT_EQ(names("*@*@*", 300, 9).code, 1068);
}

TEST_F(ListTest, LongEnumerationsComeInPagesThatContinueWhereTheyStopped) {
    std::string seed;
    for (int i = 0; i < 40; ++i)
        seed += "user add u" + std::to_string(100 + i) + "@Support@Demo --password x\n";
    seed += "list add Many@Support@Demo\n";
    for (int i = 0; i < 40; ++i)
        seed += "member add Many@Support@Demo u" + std::to_string(100 + i) + "@Support@Demo\n";
    nwdtest::seed(storage, seed);

    Names all;
    uint16_t pass = 0;
    int pages = 0;
    do {
        Page p = names("u*@support@demo", 300, 1, pass);
        ASSERT_EQ(p.code, 0);
        all.insert(all.end(), p.names.begin(), p.names.end());
        pass = p.passnum;
    } while (pass != 0 && ++pages < 10);
    ASSERT_EQ(all.size(), 40u);
    EXPECT_EQ(all.front(), "u100@Support@Demo");
    EXPECT_EQ(all.back(), "u139@Support@Demo");

    Names listed;
    pass = 0;
    pages = 0;
    do {
        Page p = members("many@support@demo", pass);
        ASSERT_EQ(p.code, 0);
        EXPECT_EQ(p.tag, 0);
        listed.insert(listed.end(), p.names.begin(), p.names.end());
        pass = p.passnum;
    } while (pass != 0 && ++pages < 10);
    EXPECT_EQ(listed, all) << "members by name";
}

TEST_F(ListTest, MembersAreListedByNameAndOnlyListsHaveThem) {
    nwdtest::seed(storage, "list add Empty@Sales@Demo\n"
                           "member add Team@Sales@Demo Support@Demo\n"
                           "member add Team@Sales@Demo Empty@Sales@Demo\n");
    Page team = members("Team@Sales@Demo");
    EXPECT_EQ(team.names, (Names{"bob@Sales@Demo", "Empty@Sales@Demo", "Support@Demo"}));
    Page empty = members("Empty@Sales@Demo");
    EXPECT_EQ(empty.code, 0);
    EXPECT_TRUE(empty.names.empty());
    EXPECT_EQ(empty.passnum, 0);
    EXPECT_EQ(members("bob@Sales@Demo").code, 1002);
    EXPECT_EQ(members("None@Sales@Demo").code, 1002);
    EXPECT_EQ(members("Sales@Demo").code, 1001);
}

TEST_F(ListTest, MembershipFollowsNestedListsAndGroupsAndStopsOnRings) {
    nwdtest::seed(storage, "list add Inner@Support@Demo\n"
                           "list add Ring@Support@Demo\n"
                           "user add carl@Support@Demo --password x\n"
                           "member add Team@Sales@Demo Inner@Support@Demo\n"
                           "member add Inner@Support@Demo Ring@Support@Demo\n"
                           "member add Ring@Support@Demo Team@Sales@Demo\n"
                           "member add Ring@Support@Demo carl@Support@Demo\n"
                           "member add Inner@Support@Demo ali@Sales@Demo\n");
    EXPECT_EQ(member("bob@Sales@Demo", "Team@Sales@Demo"), 1);
    EXPECT_EQ(member("carl@Support@Demo", "Team@Sales@Demo"), 1) << "two lists down";
    EXPECT_EQ(member("carl@Support@Demo", "Team@Sales@Demo", 0), 0) << "flag 0: direct only";
    EXPECT_EQ(member("alice@Sales@Demo", "Team@Sales@Demo"), 1) << "through a nickname";
    // Team -> Inner -> Ring -> Team: a name in none of them ends with 0.
    EXPECT_EQ(member("FILES@Sales@Demo", "Ring@Support@Demo"), 0);
    EXPECT_EQ(member("Inner@Support@Demo", "Ring@Support@Demo"), 1);

    // A group among the members stands for what lies in it.
    EXPECT_EQ(member("jos\xE9@Support@Demo", "Team@Sales@Demo", 0), 0);
    nwdtest::seed(storage, "member add Team@Sales@Demo Support@Demo\n");
    EXPECT_EQ(member("jos\xE9@Support@Demo", "Team@Sales@Demo", 0), 1);
    EXPECT_EQ(member("Support@Demo", "Team@Sales@Demo", 0), 1);

    // Groups, organisations and a name itself.
    EXPECT_EQ(member("bob@Sales@Demo", "sales@demo"), 1);
    EXPECT_EQ(member("bob@Sales@Demo", "Support@Demo"), 0);
    EXPECT_EQ(member("bob@Sales@Demo", "Demo"), 1);
    EXPECT_EQ(member("Sales@Demo", "Demo"), 1);
    EXPECT_EQ(member("bob@Sales@Demo", "BOB@Sales@Demo"), 1);
    EXPECT_EQ(member("bob@Sales@Demo", "alice@Sales@Demo"), 0);

    EXPECT_EQ(member("nobody@Sales@Demo", "Team@Sales@Demo"), 1102);
    EXPECT_EQ(member("bob@Sales@Demo", "None@Sales@Demo"), 1102);
    EXPECT_EQ(member("bob@@Demo", "Team@Sales@Demo"), 1101);
    EXPECT_EQ(member("bob@Sales@Demo", "x@y@z@w"), 1101);
}

TEST_F(ListTest, ProfileEntriesComeFromTheOwnerItsGroupOrItsOrganisation) {
    nwdtest::seed(storage, "profile set Demo Greeting \"hello from Demo\"\n"
                           "profile set Sales@Demo Greeting \"hello from Sales\"\n"
                           "profile set bob@Sales@Demo !SETNMDA \"NMDA1@Sales@Demo /ALT\"\n"
                           "profile set bob@Sales@Demo Wide \"caf\xC3\xA9 \xE2\x82\xAC\"\n");
    auto entry = [&](const std::string& key, const std::string& owner, std::string* value) {
        Call c(kProcProfileEntry);
        c.u16(1).u16(22).str(key).u16(0).str(owner);
        Handler::Reply r = raw(c.data(), ServiceKind::Message);
        EXPECT_TRUE(r.has_value());
        if (!r) return -1;
        Reply rep = Reply::of(*r);
        if (!rep.ok()) return 10000 + rep.code;
        qrd::BeReader rd = rep.reader();
        uint16_t status = rd.u16();
        std::string second;
        rd.string(*value, 1023);
        rd.string(second, 1023);
        EXPECT_TRUE(rd.ok());
        EXPECT_TRUE(second.empty());
        return int(status);
    };
    std::string v;
    EXPECT_EQ(entry("!setnmda", "BOB@sales@demo", &v), 0);
    EXPECT_EQ(v, "NMDA1@Sales@Demo /ALT");
    EXPECT_EQ(entry("Greeting", "bob@Sales@Demo", &v), 0);
    EXPECT_EQ(v, "hello from Sales");
    EXPECT_EQ(entry("Greeting", "jos\xE9@Support@Demo", &v), 0);
    EXPECT_EQ(v, "hello from Demo");
    EXPECT_EQ(entry("Greeting", "Demo", &v), 0);
    // Characters outside the wire set become '?'.
    EXPECT_EQ(entry("Wide", "bob@Sales@Demo", &v), 0);
    EXPECT_EQ(v, "caf\xE9 ?");

    v = "untouched";
    EXPECT_EQ(entry("Missing", "bob@Sales@Demo", &v), 1013);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(entry("Greeting", "nobody@Sales@Demo", &v), 1002);
    EXPECT_EQ(entry("Greeting", "bad@@name", &v), 1001);
    EXPECT_EQ(entry(std::string(16, 'k'), "bob@Sales@Demo", &v), 10000 + 1068);
    // The user message of the same service still goes unanswered.
    EXPECT_FALSE(raw(Call(8).str("bob@Sales@Demo").u16(1).str("alice@Sales@Demo").str("x").data(),
                     ServiceKind::Message)
                     .has_value());
}

} // namespace
