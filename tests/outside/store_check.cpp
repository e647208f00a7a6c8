// The store from outside: a program that sees libnamedir only through its
// public headers and the shared library, driving DIRDirectory, the records,
// the free list and CQrdApi against a fresh namewrightd after a real login.
// For every attribute it writes, it prints the bytes the layouts prescribe,
// built here by hand, so that store_check.sh can compare them with what the
// service holds (through `namedir raw`).
//
//   store_check USER GROUP     prints "HOLDER CATEGORY NUMBER HEX" lines
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "namedir.h"

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "store_check: %s\n", what.c_str());
        ++failures;
    }
}

// Hand-built stored bytes: little-endian words and UTF-16LE texts.
struct Bytes {
    std::vector<uint8_t> b;
    void grow(size_t n) {
        if (b.size() < n) b.resize(n);
    }
    void u32(size_t at, uint32_t v) {
        grow(at + 4);
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    }
    void u16(size_t at, uint16_t v) {
        grow(at + 2);
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    }
    // UTF-16 code units given by the caller (so the check does not share the
    // store's converter); returns the offset after them.
    size_t units(size_t at, const std::vector<uint16_t>& u) {
        for (size_t i = 0; i < u.size(); ++i)
            u16(at + 2 * i, u[i]);
        return at + 2 * u.size();
    }
    std::string hex() const {
        std::string out;
        char two[3];
        for (uint8_t c : b) {
            std::snprintf(two, sizeof two, "%02x", c);
            out += two;
        }
        return out;
    }
};

std::vector<uint16_t> ascii(const char* s) {
    std::vector<uint16_t> u;
    for (; *s; ++s)
        u.push_back(uint8_t(*s));
    return u;
}

void print(const std::string& holder, uint32_t category, uint32_t number, const Bytes& b) {
    std::printf("%s %u %u %s\n", holder.c_str(), category, number, b.hex().c_str());
}

// A text in a fixed slot: its length word, its units, and a 16-bit zero
// after them unless they fill the slot.
void slot(Bytes& b, size_t lengthAt, size_t dataAt, size_t limit, const std::vector<uint16_t>& u) {
    b.u32(lengthAt, uint32_t(u.size()));
    size_t end = b.units(dataAt, u);
    if (limit == 0 || end < dataAt + limit) b.u16(end, 0);
}

Bytes freeSlot(uint32_t number, bool counterMode) {
    Bytes b;
    b.u32(0, 128);
    b.u32(4, 52);
    b.u32(8, number);
    b.u32(12, 0);
    b.u32(16, counterMode ? 1 : 0);
    return b;
}

long writeMain(const std::string& holder, uint32_t number, const DIRCommonInfo& r, DIRTime now) {
    namedir::AttrStream s(holder, 52, number);
    if (long e = namedir::encodeMainRecord(r, now, s)) return e;
    return s.write(namedir::clientAttrStore());
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("usage: store_check USER GROUP (run by store_check.sh)\n"
                    "Drives the directory object store against a fresh daemon and compares the\n"
                    "stored attributes with their layouts through `namedir raw`.\n");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: store_check USER GROUP (run by store_check.sh)\n");
        return 2;
    }
    const std::string user = argv[1], group = argv[2];
    namedir::AttrStore& store = namedir::clientAttrStore();

    // CQrdApi: the login, names and types as the service gives them.
    std::string who;
    expect(CQrdApi::getUserName(who) == 0 && who == user, "logged-in user is '" + who + "'");
    std::string item = user.substr(0, user.find('@'));
    expect(CQrdApi::makeFullName(item) == 0 && item == user, "completed name is '" + item + "'");
    std::string acl = "*@" + group;
    long type = 0;
    expect(CQrdApi::isAclSpecValid(acl, type) && type == CQrdApi::kTypeGroup,
           "*@group is no valid access-rights name");

    // A personal folder: the first number of a new user's range.
    const DIRTime now = DIRTime(std::time(nullptr));
    std::unique_ptr<DIRNmDirectoryAddress> address;
    long e = namedir::allocateObjectAddress(store, user, false, now, address);
    expect(e == 0 && address && address->attrNumber == 250200,
           "first allocation: error " + std::to_string(e));
    if (!address) return 1;
    const uint32_t number = uint32_t(address->attrNumber);

    DIRFolder folder;
    folder.base.objectType = DIR_TYPE_FOLDER;
    folder.base.userFlag = 1;
    folder.base.userValue = 7;
    folder.creator = user;
    folder.name = "Caf\u00e9 plans";      // one unit for the accented letter
    folder.description = "Q4 \U0001F600"; // two units outside the BMP
    folder.longText = "x";
    expect(writeMain(user, number, folder, now) == 0, "the folder's main record was not written");
    std::vector<DIRAccessRight> rights = {{3, user}, {1, acl}};
    namedir::AttrStream rs(user, 53, number);
    expect(namedir::encodeAccessRights(rights, rs) == 0 && rs.write(store) == 0,
           "the access rights were not written");

    // DIRDirectory finds the object again by its key.
    DIRDirectory directory;
    DIRAddressPtr found;
    long foundType = -1, error = 0;
    expect(directory.getDirectoryAddress(address->uniqueKey, found, foundType, error) &&
               foundType == DIR_TYPE_FOLDER && found.nm() && found.nm()->attrNumber == number,
           "getDirectoryAddress(" + address->uniqueKey + "): error " + std::to_string(error));

    // The records read back through the store.
    namedir::AttrStream back(user, 52, number);
    DIRFolder read;
    expect(back.read(store) == 0 && namedir::decodeMainRecord(back, read) == 0 &&
               read.name == folder.name && read.description == folder.description &&
               read.base.version == 1 && read.base.created == now,
           "the main record does not read back");

    // A shared object on the group, created and deleted again: the group's
    // counter returns to its first number and the main record is gone.
    std::unique_ptr<DIRNmDirectoryAddress> shared;
    e = namedir::allocateObjectAddress(store, group, true, now, shared);
    expect(e == 0 && shared && shared->attrNumber == 200200,
           "group allocation: error " + std::to_string(e));
    if (shared) {
        DIRItem doc;
        doc.base.objectType = DIR_TYPE_DOCUMENT;
        doc.base.shared = 1;
        doc.name = "Shared";
        expect(writeMain(group, 200200, doc, now) == 0, "the shared item was not written");
        expect(namedir::deleteObjectStorage(store, group, 200200) == 0,
               "the shared item was not deleted");
        expect(namedir::deleteObjectStorage(store, group, 200200) == DIR_ALREADY_FREE,
               "a second delete was not refused with 113");
    }

    // The layouts, by hand.
    Bytes main;
    main.u32(0, DIR_TYPE_FOLDER);
    main.u32(4, 1);    // version 0 is written as 1
    main.u32(8, 0);    // reserved
    main.u32(12, now); // created
    main.u32(16, now); // modified
    main.u32(20, 2);   // flags: bit 1 userFlag
    main.u32(24, 7);
    slot(main, 28, 48, 200, ascii(user.c_str()));
    slot(main, 32, 248, 100, {'C', 'a', 'f', 0x00E9, ' ', 'p', 'l', 'a', 'n', 's'});
    slot(main, 36, 348, 640, {'Q', '4', ' ', 0xD83D, 0xDE00});
    slot(main, 40, 988, 200, {});
    slot(main, 44, 1188, 0, {'x'});
    print(user, 52, number, main);

    Bytes list;
    list.u32(0, 2);
    size_t at = 4;
    for (const DIRAccessRight& r : rights) {
        list.u32(at, uint32_t(r.rights));
        list.u32(at + 4, uint32_t(r.name.size()));
        at = list.units(at + 8, ascii(r.name.c_str()));
    }
    list.u16(at, 0);
    print(user, 53, number, list);

    print(user, 34, 250003, freeSlot(number + 1, true));
    print(group, 34, 200003, freeSlot(200200, true));

    if (failures) std::fprintf(stderr, "store_check: %d checks failed\n", failures);
    return failures ? 1 : 0;
}
