// Password hashing: known answers of PBKDF2, hashes of earlier versions,
// and the stored-hash checks.
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
std::vector<uint8_t> bytesOf(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}
std::vector<uint8_t> unhex(const std::string& h) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(uint8_t(std::stoul(h.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(Kdf, Pbkdf2MatchesPublishedVectors) {
    // RFC 7914, section 11.
    EXPECT_EQ(hex(pbkdf2Sha256("passwd", bytesOf("salt"), 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    EXPECT_EQ(hex(pbkdf2Sha256("Password", bytesOf("NaCl"), 80000, 64)),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
    // The RFC 6070 cases with HMAC-SHA256: iteration counts, a key longer
    // than one block, and NUL bytes inside password and salt.
    EXPECT_EQ(hex(pbkdf2Sha256("password", bytesOf("salt"), 1, 32)),
              "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    EXPECT_EQ(hex(pbkdf2Sha256("password", bytesOf("salt"), 2, 32)),
              "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43");
    EXPECT_EQ(hex(pbkdf2Sha256("password", bytesOf("salt"), 4096, 32)),
              "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    EXPECT_EQ(hex(pbkdf2Sha256("passwordPASSWORDpassword",
                               bytesOf("saltSALTsaltSALTsaltSALTsaltSALTsalt"), 4096, 40)),
              "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9");
    EXPECT_EQ(hex(pbkdf2Sha256(std::string("pass\0word", 9), bytesOf(std::string("sa\0lt", 5)),
                               4096, 16)),
              "89b69d0516f829893c696226650a8687");
    std::vector<uint8_t> s16;
    for (int i = 0; i < 16; ++i)
        s16.push_back(uint8_t(i));
    EXPECT_EQ(hex(pbkdf2Sha256(std::string(100, 'p'), s16, 1000, 32)),
              "f171eaf2b00b6d44f06edec2e31b61451157109eacdc8727fc65d691d70f673e");
}

// Hashes stored by earlier versions (PBKDF2 of the password) are the salted
// passwords of the login exchange: the verifiers made from them must let
// their users in, unchanged.
TEST(Kdf, HashesStoredByEarlierVersionsBecomeVerifiersOfTheSamePasswords) {
    PasswordHash latin1 = qrd::scram::verifierFromSalted(
        unhex("a0a7aeb5bcc3cad1d8dfe6edf4fb0209"), 1000,
        unhex("ec9e2ed46bb75df8453a7bc9d40d78f5d969e3142b75a8993aef7603ef4cd036"));
    EXPECT_TRUE(verifyPassword("b\xF8"
                               "b s3cret",
                               latin1));
    EXPECT_FALSE(verifyPassword("b\xC3\xB8"
                                "b s3cret",
                                latin1))
        << "Latin-1 bytes, not UTF-8";

    PasswordHash demo = qrd::scram::verifierFromSalted(
        std::vector<uint8_t>(16, 0x5A), 100000,
        unhex("120153089f6c3bdf5fe10c926497a8beb2050ba129c4b2fbb3958dcecd86c641"));
    EXPECT_TRUE(verifyPassword("alice-demo", demo));
    EXPECT_FALSE(verifyPassword("alice-demO", demo));
}

// The example exchange of RFC 7677 (user "user", password "pencil").
TEST(Kdf, TheExchangeComputesTheStandardProofAndSignature) {
    const std::vector<uint8_t> salt = unhex("5b6d99689d12358eeca04b141236fa81");
    const std::string message =
        "n=user,r=rOprNGfwEbeRWgbNEkqO,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
        "s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096,c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)"
        "hNlF$k0";
    const std::vector<uint8_t> salted = pbkdf2Sha256("pencil", salt, 4096, 32);
    qrd::scram::ClientSide c = qrd::scram::clientSide(salted, message);
    EXPECT_EQ(hex(c.proof), "747cdb65aa56224e2352137e52d7bdcad6a0f738df30782caa69a2cfb0277554");
    EXPECT_EQ(hex(c.serverSignature),
              "eabae24d1062db75a9451ff0b6ea7e98c8546549ff741e672d3251b2397de46e");
    PasswordHash v = qrd::scram::verifierFromSalted(salt, 4096, salted);
    EXPECT_TRUE(qrd::scram::proofValid(v, message, c.proof));
    EXPECT_EQ(qrd::scram::serverSignature(v, message), c.serverSignature);
    // A proof for another exchange, or with one bit changed, fails.
    EXPECT_FALSE(qrd::scram::proofValid(v, message + "x", c.proof));
    std::vector<uint8_t> bent = c.proof;
    bent[31] ^= 1;
    EXPECT_FALSE(qrd::scram::proofValid(v, message, bent));
    // The name is escaped where it would break the message apart.
    EXPECT_EQ(qrd::scram::authMessage("a,b=c", {1}, {2}, {3}, 1000).substr(0, 12), "n=a=2Cb=3Dc,");
}

TEST(Kdf, VerifiersAcceptOnlyTheirPassword) {
    PasswordHash a, b;
    ASSERT_TRUE(makePasswordHash("secret", 1000, a));
    ASSERT_TRUE(makePasswordHash("secret", 1000, b));
    EXPECT_NE(a.salt, b.salt) << "every verifier gets its own salt";
    EXPECT_NE(a.storedKey, b.storedKey);
    EXPECT_NE(a.storedKey, a.serverKey);
    EXPECT_TRUE(verifyPassword("secret", a));
    EXPECT_FALSE(verifyPassword("Secret", a));
    EXPECT_FALSE(verifyPassword("", a));
    // A work factor below the floor is raised, not honoured.
    PasswordHash weak;
    ASSERT_TRUE(makePasswordHash("x", 1, weak));
    EXPECT_EQ(weak.iterations, kMinIterations);
    // Damaged records never match: a cut key, a zero or absurd work factor.
    PasswordHash cut = a;
    cut.storedKey.pop_back();
    EXPECT_FALSE(verifyPassword("secret", cut));
    EXPECT_FALSE(usableVerifier(cut));
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
