// Password hashing: known answers of SHA-256, HMAC and PBKDF2, and the
// stored-hash checks.
#include <gtest/gtest.h>

#include <cstdio>

#include "kdf.h"

using namespace nwd;

namespace {

std::string hex(const uint8_t* p, size_t n) {
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}
std::string hex(const std::vector<uint8_t>& v) {
    return hex(v.data(), v.size());
}
std::string hex(const Sha256Digest& d) {
    return hex(d.data(), d.size());
}
const uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(Kdf, Sha256MatchesKnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(hex(sha256(nullptr, 0)),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256(bytes("abc"), 3)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(hex(sha256(bytes(two), two.size())),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    std::string million(1000000, 'a');
    EXPECT_EQ(hex(sha256(bytes(million), million.size())),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Kdf, HmacHandlesShortAndLongKeys) {
    std::string msg = "what do ya want for nothing?";
    EXPECT_EQ(hex(hmacSha256(bytes("Jefe"), 4, bytes(msg), msg.size())),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    // A key longer than the block is hashed first.
    std::string key(100, 'k');
    EXPECT_EQ(hex(hmacSha256(bytes(key), key.size(), bytes("data"), 4)),
              "09380ee4b802da2363bc96e8e0d133ba275458ea8ddbc564f986fc12b31f8cb1");
}

TEST(Kdf, Pbkdf2MatchesKnownAnswers) {
    std::vector<uint8_t> salt = {'s', 'a', 'l', 't'};
    EXPECT_EQ(hex(pbkdf2Sha256("passwd", salt, 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    std::vector<uint8_t> nacl = {'N', 'a', 'C', 'l'};
    EXPECT_EQ(hex(pbkdf2Sha256("Password", nacl, 80000, 64)),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
    std::vector<uint8_t> s16;
    for (int i = 0; i < 16; ++i)
        s16.push_back(uint8_t(i));
    EXPECT_EQ(hex(pbkdf2Sha256(std::string(100, 'p'), s16, 1000, 32)),
              "f171eaf2b00b6d44f06edec2e31b61451157109eacdc8727fc65d691d70f673e");
}

TEST(Kdf, StoredHashesAcceptOnlyTheirPassword) {
    PasswordHash a, b;
    ASSERT_TRUE(makePasswordHash("secret", 1000, a));
    ASSERT_TRUE(makePasswordHash("secret", 1000, b));
    EXPECT_NE(a.salt, b.salt) << "every hash gets its own salt";
    EXPECT_NE(a.hash, b.hash);
    EXPECT_TRUE(verifyPassword("secret", a));
    EXPECT_FALSE(verifyPassword("Secret", a));
    EXPECT_FALSE(verifyPassword("", a));
    // A work factor below the floor is raised, not honoured.
    PasswordHash weak;
    ASSERT_TRUE(makePasswordHash("x", 1, weak));
    EXPECT_EQ(weak.iterations, kMinIterations);
    // Damaged records never match: a cut hash, a zero or absurd work factor.
    PasswordHash cut = a;
    cut.hash.pop_back();
    EXPECT_FALSE(verifyPassword("secret", cut));
    PasswordHash zero = a;
    zero.iterations = 0;
    EXPECT_FALSE(verifyPassword("secret", zero));
    PasswordHash huge = a;
    huge.iterations = 0xFFFFFFFF;
    EXPECT_FALSE(verifyPassword("secret", huge));
}

TEST(Kdf, ConstantTimeEqualComparesSizeAndEveryByte) {
    EXPECT_TRUE(constantTimeEqual({1, 2, 3}, {1, 2, 3}));
    EXPECT_FALSE(constantTimeEqual({1, 2, 3}, {1, 2, 4}));
    EXPECT_FALSE(constantTimeEqual({0, 2, 3}, {1, 2, 3}));
    EXPECT_FALSE(constantTimeEqual({1, 2}, {1, 2, 3}));
    EXPECT_TRUE(constantTimeEqual({}, {}));
}

} // namespace
