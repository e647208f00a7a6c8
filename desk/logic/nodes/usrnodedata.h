// USRNodeData: the record fields a node shows besides its name, and the
// record's access rights list with the login user's role on it.
#pragma once

#include <string>
#include <vector>

#include <namedir/address.h>

class USRMembership;

// Roles of an access rights entry, and entry kinds.
enum USRRole : long {
    USR_ROLE_NONE = 0,
    USR_ROLE_READER = 1,
    USR_ROLE_CONTRIBUTOR = 2,
    USR_ROLE_MODERATOR = 3
};
enum USRKind : long {
    USR_KIND_UNKNOWN = 0,
    USR_KIND_USER = 1,
    USR_KIND_LIST = 3,
    USR_KIND_GROUP = 5
};

struct USRAccessEntry {
    std::string name;
    long kind = USR_KIND_UNKNOWN; // settled on first use (it asks the directory)
    long role = USR_ROLE_NONE;
    bool mark = false; // not yet published to
};

class USRNodeData {
  public:
    virtual ~USRNodeData();

    long myRights = -1; // the login user's role; -1 until computed
    bool shared = true;
    // The record's texts (creator, extra text, notes, description).
    std::string creator;
    std::string extraText;
    std::string longText;
    std::string description;
    std::vector<USRAccessEntry> accessRights;
    DIRTime dirTime = 0; // the record's date last modified: the key of change detection
    long second = 1;

    // The login user's role, cached in myRights until the rights list is
    // read again. Entries in order: one naming the user decides at once, a
    // group or list the user belongs to gives its role, and the highest of
    // those counts; a moderator's role ends the search. No entry: 0 and 41.
    bool computeMyRights(const std::string& user, USRMembership& membership, long& rights,
                         long& error);
};

// The entry's kind, asked once (a name that is no valid entry stays 0).
long USRSettleKind(USRAccessEntry& entry, USRMembership& membership);

// Namewright names compare without regard to case.
bool USRSameName(const std::string& a, const std::string& b);
