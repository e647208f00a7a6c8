// Name lists, list members, membership, the user record and user messages
// against fake services.
#include <gtest/gtest.h>

#include "nm_attr_fake.h"
#include "qrdapi.h"

using namespace qrdtest;

namespace {

// A list reply: passnum, kind, names (count as given, may lie).
Bytes listReply(uint16_t passnum, uint16_t kind, const std::vector<std::string>& names,
                int count = -1) {
    qrd::BeWriter w;
    w.u16(passnum);
    w.u16(kind);
    w.u16(uint16_t(count < 0 ? int(names.size()) : count));
    for (const std::string& n : names)
        w.string(n);
    return returnReply(w.data());
}

using NmList = FakeNwTest;

TEST_F(NmList, ListNamesSendsTheSelectionAndConvertsTheNames) {
    nw_.on(6, [](const Received&) {
        return std::vector<Bytes>{listReply(5, 1, {"caf\xE9@sales@acme", "bob@sales@acme"})};
    });
    QRD_NM_SESS s = session(0);
    Catsel sel{};
    sel.selector = 0x0102;
    sel.record[15] = 0x33;
    uint16_t pass = 0;
    NmRec rec;
    ASSERT_EQ(QrdListSNmNames(&s, "*@sales@acme", OBJTYPE, QRD_CAT_USER, &sel, &pass, &rec), 0);
    EXPECT_EQ(pass, 5);
    EXPECT_EQ(rec.kind, 1);
    ASSERT_EQ(rec.count, 2);
    EXPECT_STREQ(rec.names[0], "cafe@sales@acme");
    EXPECT_STREQ(rec.names[1], "bob@sales@acme");

    Args a(nw_.calls(6).at(0));
    a.bytes(4);
    EXPECT_EQ(a.str(), "*@sales@acme");
    EXPECT_EQ(a.u16(), OBJTYPE);
    EXPECT_EQ(a.u16(), QRD_CAT_USER);
    EXPECT_EQ(a.u16(), 0x0102);
    EXPECT_EQ(a.bytes(16).back(), 0x33);
    EXPECT_EQ(a.u16(), 0);
    EXPECT_TRUE(a.ok());

    // Category 6 names are handed back as they came.
    ASSERT_EQ(QrdListSNmNames(&s, "*", OBJTYPE, 6, &sel, &pass, &rec), 0);
    EXPECT_STREQ(rec.names[0], "caf\xE9@sales@acme");
}

TEST_F(NmList, ListRepliesWithUnknownKindsOrTooManyNamesFail) {
    QRD_NM_SESS s = session();
    Catsel sel{};
    struct Case {
        uint16_t kind;
        int count;
    };
    for (const Case& c : {Case{7, 1}, Case{10, 1}, Case{1, 17}}) {
        nw_.on(6, [c](const Received&) {
            return std::vector<Bytes>{
                listReply(9, c.kind, std::vector<std::string>(size_t(c.count), "x"), c.count)};
        });
        nw_.on(10, [c](const Received&) {
            return std::vector<Bytes>{
                listReply(9, c.kind, std::vector<std::string>(size_t(c.count), "x"), c.count)};
        });
        NmRec rec;
        std::memset(&rec, 0x55, sizeof rec);
        uint16_t pass = 0;
        EXPECT_EQ(QrdListSNmNames(&s, "*", OBJTYPE, 1, &sel, &pass, &rec), 107) << c.kind;
        EXPECT_EQ(QrdGetSNmListMembers(&s, "team@sales@acme", &pass, &rec), 107) << c.kind;
        EXPECT_EQ(pass, 0) << "nothing is handed back";
        EXPECT_EQ(rec.kind, 0x5555);
    }
    // Every other kind up to 9 is known.
    nw_.on(6, [](const Received&) { return std::vector<Bytes>{listReply(0, 9, {"x"})}; });
    NmRec rec;
    uint16_t pass = 0;
    EXPECT_EQ(QrdListSNmNames(&s, "*", OBJTYPE, 1, &sel, &pass, &rec), 0);
}

TEST_F(NmList, ArgumentsAreCheckedBeforeAnythingIsSent) {
    QRD_NM_SESS s = session();
    const size_t before = nw_.procedures().size();
    Catsel sel{};
    uint16_t pass = 0, member = 0;
    NmRec rec;
    const std::string longName(64, 'n');
    EXPECT_EQ(QrdListSNmNames(&s, nullptr, OBJTYPE, 1, &sel, &pass, &rec), 1001);
    EXPECT_EQ(QrdListSNmNames(&s, "*", OBJTYPE, 1, nullptr, &pass, &rec), 1068);
    EXPECT_EQ(QrdListSNmNames(&s, longName.c_str(), OBJTYPE, 1, &sel, &pass, &rec), 1005);
    EXPECT_EQ(QrdListSNmNames(nullptr, "*", OBJTYPE, 1, &sel, &pass, &rec), 1017);
    EXPECT_EQ(QrdGetSNmListMembers(&s, nullptr, &pass, &rec), 1001);
    EXPECT_EQ(QrdGetSNmListMembers(&s, "l@g@o", &pass, nullptr), 1068);
    EXPECT_EQ(QrdTestSNmMembership(&s, "a@g@o", nullptr, 1, &member), 1001);
    EXPECT_EQ(QrdTestSNmMembership(&s, longName.c_str(), "l@g@o", 1, &member), 1005);
    EXPECT_EQ(QrdTestSNmMembership(&s, "a@g@o", "l@g@o", 1, nullptr), 1068);
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr),
              1001);
    char text[8];
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, "a@g@o", text, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr),
              1068);
    EXPECT_EQ(nw_.procedures().size(), before);
}

TEST_F(NmList, MembersAreEnumeratedAndALostSessionMidwayGives1039) {
    nw_.on(10, [](const Received& r) -> std::vector<Bytes> {
        Args a(r);
        a.bytes(4);
        a.str();
        const uint16_t pass = a.u16();
        if (pass == 0) return {listReply(1, 1, {"j\xFCrg@sales@acme"})};
        return {refusal(1017)};
    });
    QRD_NM_SESS s = session(3);
    uint16_t pass = 0;
    NmRec rec;
    ASSERT_EQ(QrdGetSNmListMembers(&s, "team@sales@acme", &pass, &rec), 0);
    EXPECT_EQ(pass, 1);
    EXPECT_STREQ(rec.names[0], "j\x81rg@sales@acme") << "into the PC code page";
    EXPECT_EQ(QrdGetSNmListMembers(&s, "team@sales@acme", &pass, &rec), 1039);
    EXPECT_EQ(nw_.count(10), 2u) << "the enumeration is not restarted";

    // The same through the implicit session.
    pass = 0;
    ASSERT_EQ(QrdGetNmListMembers("team@sales@acme", &pass, &rec), 0);
    EXPECT_STREQ(rec.names[0], "j\xFCrg@sales@acme");
}

TEST_F(NmList, MembershipSendsBothNamesAndTheFlag) {
    nw_.on(9, [](const Received&) { return std::vector<Bytes>{returnReply({0, 1})}; });
    QRD_NM_SESS s = session();
    uint16_t member = 0;
    ASSERT_EQ(QrdTestSNmMembership(&s, "anna@sales@acme", "team@sales@acme", 1, &member), 0);
    EXPECT_EQ(member, 1);
    Args a(nw_.calls(9).at(0));
    a.bytes(4);
    EXPECT_EQ(a.str(), "anna@sales@acme");
    EXPECT_EQ(a.str(), "team@sales@acme");
    EXPECT_EQ(a.u16(), 1);
}

// The user record: description, 6 address bytes, two u16, two u32.
Bytes userRecord(const std::string& description) {
    qrd::BeWriter w;
    w.string(description);
    w.bytes("\x01\x02\x03\x04\x05\x06", 6);
    w.u16(0x1112);
    w.u16(0x2122);
    w.u32(0x31323334);
    w.u32(0x41424344);
    return w.data();
}

TEST_F(NmList, TheUserRecordIsDecodedWithTheDescriptionLengthRule) {
    nw_.setRecord("anna@sales@acme", 1, userRecord("M\x81ller"));
    QRD_NM_SESS s = session(1);
    char text[16];
    uint16_t length = sizeof text, w1 = 0, w2 = 0;
    uint8_t address[6] = {};
    uint32_t l1 = 0, l2 = 0;
    ASSERT_EQ(
        QrdGetSNmUserAttrib(&s, "anna@sales@acme", text, &length, address, &w1, &w2, &l1, &l2), 0);
    EXPECT_STREQ(text, "M\xFCller") << "from the PC code page";
    EXPECT_EQ(length, 7);
    EXPECT_EQ(address[5], 6);
    EXPECT_EQ(w1, 0x1112);
    EXPECT_EQ(w2, 0x2122);
    EXPECT_EQ(l1, 0x31323334u);
    EXPECT_EQ(l2, 0x41424344u);

    length = 4;
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, "anna@sales@acme", text, &length, nullptr, nullptr, nullptr,
                                  nullptr, nullptr),
              1053);
    EXPECT_STREQ(text, "M\xFCl");
    EXPECT_EQ(length, 7) << "the length needed";

    // Only the name: is it a user?
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, "anna@sales@acme", nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, "team@sales@acme", nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr),
              1013);
    Bytes cut = userRecord("x");
    cut.resize(cut.size() - 1);
    nw_.setRecord("bob@sales@acme", 1, cut);
    EXPECT_EQ(QrdGetSNmUserAttrib(&s, "bob@sales@acme", nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr),
              107);
}

TEST_F(NmList, AUserMessageGoesToTheFoundMessageServiceWithoutWaiting) {
    nw_.on(15, [](const Received& r) {
        Args a(r);
        a.bytes(4);
        a.u16();
        std::string name = a.str();
        for (char& c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return std::vector<Bytes>{returnReply(strBytes(name))};
    });
    FakeServer messages(19);
    messages.onDatagram([](const Received& r) -> std::vector<Bytes> {
        if (!r.broadcast) return {}; // messages get no answer
        Bytes answer(26, 0);
        qrd::putBe16(answer.data(), 5);
        qrd::putBe16(answer.data() + 2, 19);
        qrd::putBe32(answer.data() + 22, 60000);
        return {answer};
    });
    char user[NMNAMELEN] = "Anna Admin";
    ASSERT_EQ(QrdSetGlobalVar(QRD_GV_USER_NAME, user, sizeof user), QRD_OK);

    const std::string text(100, 't');
    ASSERT_EQ(QrdSendUserMsg("bob@sales@acme", text.c_str()), QRD_OK);
    // The search is over when the call returns; the message follows it.
    ASSERT_TRUE(messages.waitFor(messages.broadcasts().size() + 1));
    std::vector<Received> sent = messages.calls(8);
    ASSERT_EQ(sent.size(), 1u);
    Args a(sent[0]);
    EXPECT_EQ(a.str(), "Anna Admin");
    EXPECT_EQ(a.u16(), 1);
    EXPECT_EQ(a.str(), "BOB@SALES@ACME");
    EXPECT_EQ(a.str(), std::string(80, 't'));

    EXPECT_EQ(QrdSendUserMsg(std::string(64, 'b').c_str(), "hi"), 1005);
    EXPECT_EQ(QrdSendUserMsg(nullptr, "hi"), 1001);
    EXPECT_EQ(nw_.count(15), 1u);
}

} // namespace
