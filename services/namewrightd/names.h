// Namewright names as the daemon handles them: "item@group@organisation",
// at most 63 bytes in the wire character set (Latin-1).
//
// Names travel in Latin-1; the database keeps UTF-8 (what an administrator
// types). Matching ignores case: every stored name has a key, the UTF-8 form
// of its Latin-1 upper-case spelling, and look-ups compare keys.
#pragma once

#include <string>
#include <vector>

#include "qrd/latin1.h"

namespace nwd {

constexpr size_t kMaxNameBytes = 63; // Latin-1 bytes, NUL excluded

// The conversions every program of the workstation shares.
using qrd::latin1ToUtf8;
using qrd::utf8ToLatin1;

// Upper case within Latin-1 (letters whose capital lies outside it stay).
std::string upperLatin1(const std::string& latin1);
// The matching key of a Latin-1 name part or name.
std::string nameKey(const std::string& latin1);

// The characters a name part may hold besides letters and digits.
constexpr char kNamePunctuation[] = " !#%()+,-.;^_{|}~'";
// A letter, a digit, one of kNamePunctuation or a Latin-1 letter; never
// '@' or '*'.
bool validNameChar(unsigned char c);
// A single part: not empty, only characters that validNameChar() accepts.
bool validNamePart(const std::string& latin1);

// Splits a Latin-1 name into its parts ('@' separated). False when the name
// is empty, longer than kMaxNameBytes, has more than three parts, or a part
// is not valid.
bool splitName(const std::string& latin1, std::vector<std::string>& parts);

std::string joinName(const std::vector<std::string>& parts);

} // namespace nwd
