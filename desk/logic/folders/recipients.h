// Who a folder is published to: the users of its marked access rights
// entries, groups and lists expanded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "nodes/usrnodedata.h"

class USRMembership;

// Walks `entries` in order; every marked entry is taken and its mark
// cleared: a group's or list's users map to the group's or list's name, a
// user to the user's own name. A later entry for the same recipient
// replaces the earlier. 107 when a group or list cannot be read (the marks
// of the entries not yet taken stay).
bool USRCollectRecipients(std::vector<USRAccessEntry>& entries, USRMembership& membership,
                          std::map<std::string, std::string>& out, long& error);
