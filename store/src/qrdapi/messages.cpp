// Short messages to a user.
#include "qrd/latin1.h"
#include "qrdapi/internal.h"

using namespace namedir;

void CQrdApi::sendMessage(const std::string& userName, const std::string& text) {
    noThrow(0, [&] {
        std::string user;
        if (check(wireName(userName, user)) != 0) return 0;
        // A message is for reading: a character Latin-1 lacks becomes '?'.
        std::string body = utf8ToLatin1Lossy(text);
        if (size_t nul = body.find('\0'); nul != std::string::npos) body.erase(nul);
        check(client().sendUserMsg(user.c_str(), body.c_str()));
        return 0;
    });
}
