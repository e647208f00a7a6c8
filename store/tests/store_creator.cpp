// store_creator: one workstation of the concurrency test. Logs USER in on the
// workstation named by QRD_WORKSTATION, waits until the file GO exists (so
// that every creator starts at the same moment), then creates COUNT shared
// web items on the user's group and files them in a personal folder of its
// own (retrying on 118/119 as the desktop does). Prints the unique key of
// every object it created, one to a line.
//
// With FOLDER (a unique key), every item is also added to that shared
// folder, merging and retrying on 119 as the desktop does.
//
// Usage: store_creator USER PASSWORD COUNT GO [FOLDER]
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

// Adds `item` to the shared folder `key`: read, add, and on 119 take the
// folder as it now is and add again.
bool fileShared(DIRDirectory& dir, stNewItemRefEntry& item, const std::string& key) {
    stNewParentListEntry shared;
    long type = 0, error = 0;
    if (!dir.getDirectoryAddress(key, shared.address, type, error)) return fail(key, error), false;
    DIRTime read = 0;
    if (!dir.getDateLastModified(*shared.address, read, error)) return fail(key, error), false;
    shared.modified = read;
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::unique_ptr<DIRCommonInfo> current;
        if (dir.addNodeToFolder(item, shared, current, error, true, true)) return true;
        if (error != DIR_PARENT_CHANGED || !current) return fail("shared " + key, error), false;
        shared.modified = current->base.modified;
    }
    return fail("shared " + key + ": always changed", error), false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("usage: store_creator USER PASSWORD COUNT GO [FOLDER]\n"
                    "One workstation of the store's concurrency test: logs USER in, waits for\n"
                    "the file GO, creates COUNT shared web items and files them in a folder of\n"
                    "its own (and in the shared folder FOLDER, a unique key), printing each\n"
                    "object's key. Run by store_concurrency_test.\n");
        return 0;
    }
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: store_creator USER PASSWORD COUNT GO [FOLDER]\n");
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
        if (argc == 6 && !fileShared(dir, item, argv[5])) return 1;
        std::printf("%s\t%s\n", w.address->uniqueKey.c_str(), w.name.c_str());
    }
    CQrdApi::destroySession();
    return 0;
}
