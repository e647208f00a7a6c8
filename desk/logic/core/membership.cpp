#include "core/membership.h"

#include <namedir/qrdapi_wrapper.h>

USRMembership::~USRMembership() = default;

namespace {

class ClientMembership : public USRMembership {
  public:
    bool isGroupMember(const std::string& group, const std::string& user) override {
        return CQrdApi::isGroupMember(group, user);
    }
    bool isListMember(const std::string& list, const std::string& user) override {
        return CQrdApi::isListMember(list, user);
    }
    bool groupUsers(const std::string& group, std::vector<std::string>& users,
                    long& error) override {
        QRDSTATUS s = CQrdApi::enumGroupUsers(group, users);
        error = s;
        return s == 0;
    }
    bool listUsers(const std::string& list, std::vector<std::string>& users, long& error) override {
        QRDSTATUS s = CQrdApi::enumList(list, users);
        error = s;
        return s == 0;
    }
    long entryKind(std::string& name) override {
        long type = CQrdApi::kTypeNone;
        if (!CQrdApi::isAclSpecValid(name, type)) return CQrdApi::kTypeNone;
        return type;
    }
};

} // namespace

USRMembership& USRMembership::client() {
    static ClientMembership membership;
    return membership;
}
