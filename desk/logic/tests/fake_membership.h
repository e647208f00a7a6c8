// Groups and lists of a test's own, in place of the directory's.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/membership.h"

class FakeMembership : public USRMembership {
  public:
    std::map<std::string, std::vector<std::string>> groups, lists;
    int asked = 0; // membership questions asked

    bool isGroupMember(const std::string& g, const std::string& u) override {
        ++asked;
        return has(groups, g, u);
    }
    bool isListMember(const std::string& l, const std::string& u) override {
        ++asked;
        return has(lists, l, u);
    }
    bool groupUsers(const std::string& g, std::vector<std::string>& out, long& error) override {
        return users(groups, g, out, error);
    }
    bool listUsers(const std::string& l, std::vector<std::string>& out, long& error) override {
        return users(lists, l, out, error);
    }
    long entryKind(std::string& name) override {
        if (groups.count(name)) return 5;
        if (lists.count(name)) return 3;
        return 1;
    }

  private:
    static bool has(const std::map<std::string, std::vector<std::string>>& m, const std::string& k,
                    const std::string& u) {
        auto it = m.find(k);
        if (it == m.end()) return false;
        for (const std::string& x : it->second)
            if (x == u) return true;
        return false;
    }
    static bool users(const std::map<std::string, std::vector<std::string>>& m,
                      const std::string& k, std::vector<std::string>& out, long& error) {
        auto it = m.find(k);
        if (it == m.end()) {
            error = 1055;
            return false;
        }
        out = it->second;
        return true;
    }
};
