#include "folders/recipients.h"

#include <namedir/errors.h>

#include "core/membership.h"

bool USRCollectRecipients(std::vector<USRAccessEntry>& entries, USRMembership& membership,
                          std::map<std::string, std::string>& out, long& error) {
    for (USRAccessEntry& entry : entries) {
        if (!entry.mark) continue;
        long kind = USRSettleKind(entry, membership);
        std::vector<std::string> users;
        long e = 0;
        if (kind == USR_KIND_GROUP || kind == USR_KIND_LIST) {
            bool ok = kind == USR_KIND_GROUP ? membership.groupUsers(entry.name, users, e)
                                             : membership.listUsers(entry.name, users, e);
            if (!ok) {
                error = DIR_DIRECTORY_ACCESS;
                return false;
            }
            for (const std::string& u : users)
                out[u] = entry.name;
        } else {
            out[entry.name] = entry.name;
        }
        entry.mark = false;
    }
    error = 0;
    return true;
}
