// The status catalogue: every code once, each with a text that fits the
// error-text reply.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "qrd/nmproto.h"
#include "qrd/statuses.h"

namespace {

TEST(StatusCatalogue, EveryCodeOnceWithATextThatFitsTheReply) {
    std::set<uint16_t> codes;
    std::set<std::string> names;
    for (const qrd::nm::StatusEntry& e : qrd::nm::kStatuses) {
        EXPECT_TRUE(codes.insert(e.code).second) << "code " << e.code << " twice";
        EXPECT_TRUE(names.insert(std::string(e.name)).second) << e.name << " twice";
        EXPECT_FALSE(e.text.empty()) << e.code << " has no text";
        EXPECT_LT(e.text.size(), qrd::nm::kErrorTextCap) << e.code << "'s text is too long";
        EXPECT_EQ(qrd::nm::findStatus(e.code), &e);
    }
    EXPECT_EQ(qrd::nm::findStatus(1500), nullptr);
    EXPECT_EQ(qrd::nm::findStatus(0), nullptr);
}

} // namespace
