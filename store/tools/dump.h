// `namedir dump`: every desktop attribute of one holder, decoded, as JSON.
#pragma once

#include <string>
#include <vector>

#include <qrdapi.h>

#include "namedir/attrstream.h"

namespace namedirtool {

// Writes the objects held in `attrs` (the holder's attribute names, as a
// scan returns them) as one JSON document: the free-list head, the business
// card and preferences, each object with its parts, the free numbers and any
// attribute the store does not know. A part that cannot be read or decoded
// shows its store error code and text instead of its content.
void dumpHolder(namedir::AttrStore& store, const std::string& holder, bool group,
                const std::vector<AttrName>& attrs, std::string& json);

} // namespace namedirtool
