// `namedir check`: walks one holder's objects and reports what is
// inconsistent; with repair, fixes what can be fixed without losing data.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <qrdapi.h>

#include "namedir/attrstream.h"

namespace namedirtool {

struct CheckResult {
    int found = 0;       // problems found
    int repaired = 0;    // of which repaired
    bool failed = false; // the directory failed; the report is incomplete
};

// `attrs`: the holder's attribute names as a scan returns them. Reports one
// line per problem on `out`:
//   missing-object   a list entry names an object that does not exist
//   stale-parent     a parent entry names a folder that does not list the object
//   missing-parent   a folder lists an object whose parents do not name it
//   free-in-use      the free list hands out a number that holds data
//   unreached        an object that no folder, library, toolbar or list names
// Repair removes entries naming missing objects, makes parent lists match
// the folders, and rebuilds the free list; unreached objects are reported
// only (nothing says where they belong).
CheckResult checkHolder(namedir::AttrStore& store, const std::string& holder, bool group,
                        const std::vector<AttrName>& attrs, bool repair, FILE* out);

} // namespace namedirtool
