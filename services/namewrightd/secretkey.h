// The directory's secret key: what the stored nonces are hashed with
// (nonces.h) and what the made-up salts of unknown users come from. It is
// kept in a file of its own beside the database (`FILE.key`, mode 0600), so
// that a copy of the database alone holds no credential.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nwd {

constexpr size_t kSecretKeyBytes = 32;

// The key of the database at `dbPath`, made when its file is missing (the
// nonces stored before then no longer match: their users log in again).
// ":memory:" gets a fresh key. False with a message for people.
bool loadSecretKey(const std::string& dbPath, std::vector<uint8_t>& key, std::string& error);

// A fresh random key (tests, private databases); empty when the kernel's
// random source failed.
std::vector<uint8_t> freshSecretKey();

} // namespace nwd
