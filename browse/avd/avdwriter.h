// Writes attribute definition files: from a readable description (the
// avdwrite tool, the demo seed and the tests' golden files).
//
// Description, one statement a line ('#' starts a comment):
//   updated-by NAME                  who last updated the file
//   updated-at SECONDS               when (seconds since 1970)
//   group GROUP IDENTIFIER "Name"    the entry of a whole category
//   attr GROUP ITEM IDENTIFIER "Name"  one attribute of a category
//   value VALUE "Name"               an item of the last entry's value list
//   general VALUE "Name"             an item of the general list
//   table WORD                       starts a free-standing list
//   item VALUE SECOND "Name"         an item of the last free-standing list
// Numbers are decimal or 0x-hexadecimal; names are UTF-8 in double quotes
// (\" and \\ escaped) and must be writable in Latin-1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "byteorder.h"

namespace avd {

struct NamedValue {
    uint32_t value = 0;
    uint32_t second = 0;
    std::string name; // Latin-1
};

struct EntryDefinition {
    uint32_t groupKey = 0;
    uint32_t itemKey = 0;
    uint32_t identifier = 0;
    std::string name; // Latin-1
    std::vector<NamedValue> values;
};

struct TableDefinition {
    uint32_t word = 0;
    std::vector<NamedValue> items;
};

struct Definition {
    uint32_t updated = 0;
    std::string updater; // Latin-1
    std::vector<EntryDefinition> entries;
    std::vector<NamedValue> general;
    std::vector<TableDefinition> tables;
};

// Parses a description. On failure returns false with one "LINE: what"
// message per fault in `problems`.
bool parseDescription(const std::string& text, Definition& out, std::vector<std::string>& problems);

// The file's bytes in the given order. Entries are numbered from 1.
std::vector<uint8_t> writeDefinition(const Definition& def, const ByteOrder& order);

} // namespace avd
