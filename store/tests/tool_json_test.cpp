// The namedir tool's JSON reader on what an import file may hold, hostile
// lines included: every fault is refused with the offset, never read past.
#include <gtest/gtest.h>

#include "jsonread.h"

namespace {

bool parses(const std::string& text, JsonValue& v) {
    std::string error;
    bool ok = parseJson(text, v, error);
    if (!ok) {
        EXPECT_NE(error.find("at byte"), std::string::npos) << error;
    }
    return ok;
}

} // namespace

TEST(ToolJson, ReadsTheExportShapeWithEscapesAndSurrogates) {
    JsonValue v;
    ASSERT_TRUE(parses(R"({"a": [1, -2, true, false, null], "s": "Caf\u00e9 \ud83d\ude00\n\"",
                           "n": 4294967295})",
                       v));
    ASSERT_EQ(v.kind, JsonValue::Object);
    const JsonValue* a = v.member("a");
    ASSERT_TRUE(a && a->items.size() == 5);
    long long n = 0;
    EXPECT_TRUE(a->items[1].integer(-5, 5, n));
    EXPECT_EQ(n, -2);
    EXPECT_TRUE(a->items[2].boolean);
    EXPECT_FALSE(a->items[3].boolean);
    EXPECT_EQ(v.member("s")->text, "Café 😀\n\"");
    EXPECT_TRUE(v.member("n")->integer(0, UINT32_MAX, n));
    EXPECT_FALSE(v.member("n")->integer(0, UINT32_MAX - 1, n));
    EXPECT_EQ(v.member("missing"), nullptr);
}

TEST(ToolJson, HostileTextIsRefused) {
    JsonValue v;
    for (const char* bad : {"",
                            "{",
                            "[1,]",
                            "{\"a\" 1}",
                            "\"open",
                            "\"\\x\"",
                            "\"\\u12\"",
                            "\"\\udc00\"",
                            "\"\\ud800\"",
                            "\"\\ud800\\u0041\"",
                            "\"tab\there\"",
                            "tru",
                            "1 2",
                            "{\"a\":1}}",
                            "-",
                            "[\"a\",]",
                            "01",
                            "1.",
                            ".5",
                            "1e",
                            "--1"})
        EXPECT_FALSE(parses(bad, v)) << bad;
    // Nesting deep enough to exhaust a stack is refused, not followed.
    EXPECT_FALSE(parses(std::string(100000, '['), v));
    EXPECT_TRUE(parses(std::string(60, '[') + std::string(60, ']'), v));
    // Numbers that are not whole or out of range are not integers.
    long long n = 0;
    for (const char* num : {"1.5", "1e3", "99999999999999999999", "-0.0"}) {
        ASSERT_TRUE(parses(num, v)) << num;
        EXPECT_FALSE(v.integer(INT64_MIN, INT64_MAX, n)) << num;
    }
}
