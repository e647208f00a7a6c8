// `namedir export` and `namedir import`: a holder's whole desktop through a
// versioned JSON file.
//
// The file holds every attribute the store keeps on the holder (categories
// 34 and 52 to 57: objects and their lists, the libraries and toolbar, the
// card, the preferences and the free list with its markers and tickets), each
// as its stored bytes in hexadecimal, so that an import gives back the very
// desktop: the same numbers, times and keys.
//
//   {"format": "namedir-desktop", "version": 1, "holder": "bob@Sales@Demo",
//    "class": "user", "attributes": [{"category": 52, "number": 250200,
//    "bytes": "0100..."}, ...]}
#pragma once

#include <string>
#include <vector>

#include <qrdapi.h>

#include "namedir/attrstream.h"

namespace namedirtool {

bool exportHolder(namedir::AttrStore& store, const std::string& holder, bool group,
                  const std::vector<AttrName>& attrs, const std::string& file, std::string& error);

// Refuses a holder that holds any desktop attribute already, and a file of
// another format or version. When `holder` is not the exported holder, the
// addresses in lists that name the exported holder are renamed to `holder`.
bool importHolder(namedir::AttrStore& store, const std::string& holder, bool group,
                  const std::vector<AttrName>& existing, const std::string& file,
                  std::string& error);

} // namespace namedirtool
