// The node registries: one node per key, misuse reported by code.
#include <gtest/gtest.h>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "nodes/usrnode.h"
#include "nodes/usrnoderegistry.h"

namespace {

std::unique_ptr<USRNode> nodeAt(USRContext& ctx, long number, const std::string& name) {
    auto node = std::make_unique<USRNode>(ctx, DIR_TYPE_FOLDER);
    DIRNmDirectoryAddress a("bob@Sales@Demo", 52, number, 7);
    long e = 0;
    EXPECT_TRUE(node->setAddress(&a, e));
    node->setName(name);
    return node;
}

struct Registry : ::testing::Test {
    DIRDirectory dir;
    USRContext ctx{dir};
    USRNodeRegistry reg;
};

TEST_F(Registry, EmptyAndMissingKeysAreToldApart) {
    USRNode* found = reinterpret_cast<USRNode*>(1);
    long e = 0;
    EXPECT_FALSE(reg.lookup("x<52:1:1>", found, e));
    EXPECT_EQ(e, DIR_COLLECTION_EMPTY);
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(reg.removeAll(e));
    EXPECT_EQ(e, DIR_COLLECTION_EMPTY);

    auto n = nodeAt(ctx, 250200, "a");
    ASSERT_TRUE(reg.add(n, e));
    EXPECT_FALSE(reg.lookup("x<52:1:1>", found, e));
    EXPECT_EQ(e, DIR_OBJECT_MISSING);
    EXPECT_FALSE(reg.removeAndDelete(std::string("x<52:1:1>"), e));
    EXPECT_EQ(e, DIR_OBJECT_MISSING);
}

TEST_F(Registry, ASecondNodeOfTheSameKeyIsRefusedAndTheFirstStays) {
    long e = 0;
    auto first = nodeAt(ctx, 250200, "first");
    USRNode* kept = first.get();
    ASSERT_TRUE(reg.add(first, e));
    EXPECT_EQ(first, nullptr);
    auto second = nodeAt(ctx, 250200, "second");
    EXPECT_FALSE(reg.add(second, e));
    EXPECT_EQ(e, DIR_ALREADY_EXISTS);
    ASSERT_NE(second, nullptr); // the caller still owns its duplicate
    USRNode* found = nullptr;
    ASSERT_TRUE(reg.lookup(kept->key(), found, e));
    EXPECT_EQ(found, kept);
    EXPECT_EQ(found->name(), "first");
    EXPECT_EQ(reg.count(), 1);
}

TEST_F(Registry, OrderIsKeptAndReleaseHandsTheNodeOver) {
    long e = 0;
    for (long n : {250203L, 250201L, 250202L}) {
        auto node = nodeAt(ctx, n, std::to_string(n));
        ASSERT_TRUE(reg.add(node, e));
    }
    std::vector<std::string> names;
    for (USRNode* n : reg.nodes())
        names.push_back(n->name());
    EXPECT_EQ(names, (std::vector<std::string>{"250203", "250201", "250202"}));

    std::unique_ptr<USRNode> out;
    std::string key = reg.nodes()[1]->key();
    ASSERT_TRUE(reg.release(key, out, e));
    EXPECT_EQ(out->name(), "250201");
    USRNode* found = nullptr;
    EXPECT_FALSE(reg.lookup(key, found, e));
    EXPECT_EQ(reg.count(), 2);
}

TEST_F(Registry, AnAddressEntryFindsOnlyRegisteredNodes) {
    long e = 0;
    auto n = nodeAt(ctx, 250200, "a");
    USRAddress entry(*n);
    USRNode* found = nullptr;
    EXPECT_FALSE(entry.getNode(ctx, found, e));
    EXPECT_EQ(e, DIR_ADDRESS_NOT_FOUND);
    USRNode* raw = n.get();
    ASSERT_TRUE(ctx.folders().add(n, e));
    ASSERT_TRUE(entry.getNode(ctx, found, e));
    EXPECT_EQ(found, raw);
    USRAddress none;
    std::string key;
    EXPECT_FALSE(none.uniqueKey(key, e));
    EXPECT_EQ(e, DIR_KEY_NOT_FOUND);
}

TEST_F(Registry, PurgeDeletesOnlyStaleNodes) {
    long e = 0;
    for (long n : {250201L, 250202L, 250203L}) {
        auto node = nodeAt(ctx, n, std::to_string(n));
        if (n == 250202L) node->markStale();
        ASSERT_TRUE(ctx.folders().add(node, e));
    }
    ASSERT_TRUE(USRNode::purgeStale(ctx, e));
    EXPECT_EQ(ctx.folders().count(), 2);
    for (USRNode* n : ctx.folders().nodes())
        EXPECT_FALSE(n->isStale());
}

} // namespace
