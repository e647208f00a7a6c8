// store_creator: one workstation of the concurrency test. Logs USER in on the
// workstation named by QRD_WORKSTATION, waits until the file GO exists (so
// that every creator starts at the same moment), then creates COUNT shared
// web items on the user's group and files them in a personal folder of its
// own (retrying on 118/119 as the desktop does). Prints the unique key of
// every object it created, one to a line.
//
// Usage: store_creator USER PASSWORD COUNT GO
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

#include "namedir.h"

namespace {

int fail(const std::string& what, long code) {
    std::fprintf(stderr, "store_creator: %s: %ld\n", what.c_str(), code);
    return 1;
}

bool login(const char* user, const char* password) {
    QRD_PORT port;
    QrdSetPortNull(&port);
    if (QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &port)) return false;
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN] = {};
    if (QrdNmLogin(&port, user, password, &nonce, canonical)) return false;
    return QrdSetGlobalVar(QRD_GV_USER_NAME, canonical, NMNAMELEN) == 0 && QrdSetNonce(&nonce) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("usage: store_creator USER PASSWORD COUNT GO\n"
                    "One workstation of the store's concurrency test: logs USER in, waits for\n"
                    "the file GO, creates COUNT shared web items and files them in a folder of\n"
                    "its own, printing each object's key. Run by store_concurrency_test.\n");
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: store_creator USER PASSWORD COUNT GO\n");
        return 2;
    }
    if (!login(argv[1], argv[2])) return fail("login", 0);
    int count = std::atoi(argv[3]);
    DIRDirectory dir;
    long error = 0;
    DIRFolder mine;
    mine.base.objectType = DIR_TYPE_FOLDER;
    mine.name = std::string(argv[1]) + " files";
    if (!dir.createNode(mine, error)) return fail("personal folder", error);
    std::printf("%s\n", mine.address->uniqueKey.c_str());
    std::fflush(stdout);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (access(argv[4], F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stNewParentListEntry parent;
    parent.address = mine.address;
    parent.modified = mine.base.modified;
    for (int i = 0; i < count; ++i) {
        DIRWebItem w;
        w.base.objectType = DIR_TYPE_WEB;
        w.base.shared = 1;
        w.name = std::string(argv[1]) + " #" + std::to_string(i);
        w.url = "http://example.invalid/" + std::to_string(i);
        if (!dir.createNode(w, error)) return fail("create " + w.name, error);
        stNewItemRefEntry item;
        item.address = w.address;
        item.name = w.name;
        item.objectType = DIR_TYPE_WEB;
        item.shared = 1;
        item.modified = w.base.modified;
        std::unique_ptr<DIRCommonInfo> current;
        if (!dir.addNodeToFolder(item, parent, current, error, true, true))
            return fail("file " + w.name, error);
        std::printf("%s\t%s\n", w.address->uniqueKey.c_str(), w.name.c_str());
    }
    CQrdApi::destroySession();
    return 0;
}
