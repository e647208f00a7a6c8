// USRMembership: the questions about Namewright groups and lists that the
// rights and the publication ask. The desktop's goes through CQrdApi; unit
// tests put a table of their own in its place.
#pragma once

#include <string>
#include <vector>

class USRMembership {
  public:
    virtual ~USRMembership();
    virtual bool isGroupMember(const std::string& group, const std::string& user) = 0;
    virtual bool isListMember(const std::string& list, const std::string& user) = 0;
    // The users of a group or list (nested ones expanded); false with the
    // client's status in `error` when it cannot be read.
    virtual bool groupUsers(const std::string& group, std::vector<std::string>& users,
                            long& error) = 0;
    virtual bool listUsers(const std::string& list, std::vector<std::string>& users,
                           long& error) = 0;
    // The kind of a name in an access-rights entry (1 user, 3 list, 5 group,
    // -1 not valid); the name is made canonical.
    virtual long entryKind(std::string& name) = 0;

    // The one that asks the directory through CQrdApi.
    static USRMembership& client();
};
