// An in-process stand-in for the client API, put in CQrdApi's place through
// its client table: a small directory (users, groups, lists, organisations),
// attribute statuses scripted per call, and a record of what reached it.
// Names arrive here as the client API gets them (Latin-1).
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "namedir.h"

namespace fake {

struct Service {
    std::string user = "alice@Sales@Demo"; // the logged-in user ("" = nobody)
    std::map<std::string, long> objects;   // full name -> type (1 user, 3 list)
    std::vector<std::string> groups, orgs;
    std::map<std::string, std::vector<std::string>> lists; // list -> members
    std::deque<QRDSTATUS> attrStatuses;                    // answers of the next attribute calls
    std::vector<uint8_t> attrValue = {'a', 'b', 'c'};      // what every attribute holds
    std::deque<QRDSTATUS> startStatuses;                   // answers of the next session starts
    std::vector<std::string> namesSeen;                    // every name the fake was given
    int attrCalls = 0, starts = 0, listCalls = 0;
};

Service& service();
// Installs the fake table into CQrdApi (and a fresh Service); the
// destructor restores the default table.
struct Installed {
    Installed();
    ~Installed();
};

} // namespace fake
