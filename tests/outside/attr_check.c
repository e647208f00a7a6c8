/*
 * Outside check of the Namewright attribute, list and membership functions:
 * a C program that sees the client library only through qrdapi.h and
 * libqrdxapi.so, run by attr_check.sh against a real namewrightd after a
 * real login as bob@Sales@Demo (see the script for the directory).
 *
 *   attr_check all        values, scans, deletes, lists and membership
 *   attr_check survived   the 10000-byte value that "all" wrote is intact
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qrdapi.h"

#include "check.h"

static const char* const kMe = "bob@Sales@Demo";

static QRDSTATUS put(QRD_NM_SESS* sess, const char* name, uint16_t ocl, uint32_t category,
                     uint32_t number, uint32_t type, const void* data, uint32_t count) {
    AttrName a = {category, number};
    uint32_t index = 0, flags = 2;
    return QrdSetSNmAttr(sess, name, ocl, &a, type, &index, count, data, &flags);
}

/* Sizes the buffer from the info call, as the desktop's store does, and
 * reads the whole value. The caller frees the result. */
static void* get(QRD_NM_SESS* sess, const char* name, uint32_t category, uint32_t number,
                 uint32_t* type, uint32_t* count, QRDSTATUS* st) {
    AttrName a = {category, number};
    uint32_t bytes = 0, index = 0, flags = 0;
    *st = QrdGetSNmAttrInfo(sess, name, QRD_OCL_OBJECT, &a, type, count, &bytes);
    if (*st != 0) return NULL;
    void* buffer = malloc(bytes ? bytes : 1);
    if (!buffer) return NULL;
    *st = QrdGetSNmAttr(sess, name, QRD_OCL_OBJECT, &a, type, &index, count, buffer, &flags);
    return buffer;
}

static void fillRaw(unsigned char raw[10000]) {
    for (size_t i = 0; i < 10000; ++i)
        raw[i] = (unsigned char)(i * 31 + i / 256);
}

static void checkSurvived(QRD_NM_SESS* sess) {
    unsigned char raw[10000];
    fillRaw(raw);
    uint32_t type = 0, count = 0;
    QRDSTATUS st;
    unsigned char* back = get(sess, kMe, 52, 250000, &type, &count, &st);
    CHECK(st == 0 && back && count == 10000 && memcmp(back, raw, sizeof raw) == 0,
          "the value survived: %u count %u", st, count);
    free(back);
}

static void checkValues(QRD_NM_SESS* sess) {
    QRDSTATUS st;
    uint32_t type = 0, count = 0;

    /* 10000 raw bytes: three exchanges each way. */
    unsigned char raw[10000];
    fillRaw(raw);
    st = put(sess, kMe, QRD_OCL_OBJECT, 52, 250000, ATTR_RAW, raw, sizeof raw);
    CHECK(st == 0, "write 10000 bytes: %u", st);
    AttrName main = {52, 250000};
    uint32_t bytes = 0;
    st = QrdGetSNmAttrInfo(sess, kMe, QRD_OCL_OBJECT, &main, &type, &count, &bytes);
    CHECK(st == 0 && type == ATTR_RAW && count == 10000 && bytes == 10000,
          "info of the raw value: %u type %u count %u bytes %u", st, type, count, bytes);
    unsigned char* back = get(sess, kMe, 52, 250000, &type, &count, &st);
    CHECK(st == 0 && back && count == 10000 && memcmp(back, raw, sizeof raw) == 0,
          "raw value read back byte for byte: %u count %u", st, count);
    free(back);

    /* 2500 integers. */
    uint32_t ints[2500];
    for (uint32_t i = 0; i < 2500; ++i)
        ints[i] = i * 2654435761u;
    st = put(sess, kMe, QRD_OCL_OBJECT, 52, 250201, ATTR_INTEGERS, ints, 2500);
    CHECK(st == 0, "write 2500 integers: %u", st);
    AttrName a201 = {52, 250201};
    st = QrdGetSNmAttrInfo(sess, kMe, QRD_OCL_OBJECT, &a201, &type, &count, &bytes);
    CHECK(st == 0 && type == ATTR_INTEGERS && count == 2500 && bytes == 10000,
          "info of the integers: %u type %u count %u bytes %u", st, type, count, bytes);
    uint32_t* intsBack = get(sess, kMe, 52, 250201, &type, &count, &st);
    CHECK(st == 0 && intsBack && count == 2500 && memcmp(intsBack, ints, sizeof ints) == 0,
          "integers read back: %u count %u", st, count);
    free(intsBack);

    /* Text: two strings with a Latin-1 letter; 5000 bytes in all. */
    char text[5000];
    memset(text, 'a', sizeof text);
    memcpy(text, "M\xFCller", 7);
    text[7] = '\0';
    text[sizeof text - 1] = '\0';
    st = put(sess, kMe, QRD_OCL_OBJECT, 52, 250202, ATTR_TEXT, text, sizeof text);
    CHECK(st == 0, "write text: %u", st);
    char* textBack = get(sess, kMe, 52, 250202, &type, &count, &st);
    CHECK(st == 0 && textBack && type == ATTR_TEXT && count == sizeof text &&
              memcmp(textBack, text, sizeof text) == 0,
          "text read back: %u type %u count %u", st, type, count);
    free(textBack);

    /* The group's object, shared by its members (object class 5). */
    st = put(sess, "Sales@Demo", QRD_OCL_GROUP, 52, 200201, ATTR_RAW, "shared", 6);
    CHECK(st == 0, "write to the own group: %u", st);
    st = put(sess, "Support@Demo", QRD_OCL_GROUP, 52, 200201, ATTR_RAW, "shared", 6);
    CHECK(st == 1033, "write to another group: %u", st);
    st = put(sess, "carol@Support@Demo", QRD_OCL_OBJECT, 52, 250000, ATTR_RAW, "x", 1);
    CHECK(st == 1033, "write to another user: %u", st);

    /* The object type the desktop reads: 1 for a user, 3 for a list. */
    AttrName typeAttr = {0, 6};
    uint32_t kind = 0, index = 0, flags = 0;
    type = ATTR_INTEGERS;
    count = 1;
    st = QrdGetSNmAttr(sess, "Team@Sales@Demo", QRD_OCL_OBJECT, &typeAttr, &type, &index, &count,
                       &kind, &flags);
    CHECK(st == 0 && kind == 3, "type of a list: %u %u", st, kind);

    /* Scan, then delete. */
    AttrName first = {52, 250200}, last = {52, 259999}, names[10];
    QRD_SCAN_PASS pass;
    memset(&pass, 0, sizeof pass);
    uint16_t n = 10;
    st = QrdScanSNmAttr(sess, kMe, QRD_OCL_OBJECT, &first, &last, &pass, &n, names);
    CHECK(st == 0 && n == 2 && names[0].number == 250201 && names[1].number == 250202,
          "scan: %u n %u", st, n);
    st = QrdDeleteSNmAttr(sess, kMe, QRD_OCL_OBJECT, &a201);
    CHECK(st == 0, "delete: %u", st);
    st = QrdDeleteSNmAttr(sess, kMe, QRD_OCL_OBJECT, &a201);
    CHECK(st == QRDERR_NM_NO_ATTR, "delete again: %u", st);
    memset(&pass, 0, sizeof pass);
    n = 10;
    st = QrdScanSNmAttr(sess, kMe, QRD_OCL_OBJECT, &first, &last, &pass, &n, names);
    CHECK(st == 0 && n == 1, "scan after the delete: %u n %u", st, n);
}

static int hasName(const NmRec* rec, const char* name) {
    for (uint16_t i = 0; i < rec->count; ++i)
        if (strcmp(rec->names[i], name) == 0) return 1;
    return 0;
}

static void checkLists(QRD_NM_SESS* sess) {
    NmRec rec;
    Catsel sel;
    memset(&sel, 0, sizeof sel);
    uint16_t pass = 0;
    QRDSTATUS st = QrdListSNmNames(sess, "*@Sales@Demo", 300, QRD_CAT_USER, &sel, &pass, &rec);
    CHECK(st == 0 && rec.kind == 1 && rec.count == 2 && pass == 0 &&
              hasName(&rec, "alice@Sales@Demo") && hasName(&rec, "bob@Sales@Demo"),
          "users of Sales: %u kind %u count %u", st, rec.kind, rec.count);
    pass = 0;
    st = QrdListSNmNames(sess, "files@*@*", 300, QRD_CAT_SERVICE, &sel, &pass, &rec);
    CHECK(st == 0 && rec.kind == 5 && rec.count == 1 &&
              strcmp(rec.names[0], "FILES@Sales@Demo") == 0,
          "a file service: %u kind %u", st, rec.kind);
    pass = 0;
    st = QrdListSNmNames(sess, "zz*@*@*", 300, QRD_CAT_USER, &sel, &pass, &rec);
    CHECK(st == QRDERR_NM_NO_MORE, "nothing matches: %u", st);

    pass = 0;
    st = QrdGetSNmListMembers(sess, "team@sales@demo", &pass, &rec);
    CHECK(st == 0 && rec.count == 2 && hasName(&rec, "bob@Sales@Demo") &&
              hasName(&rec, "Support@Demo"),
          "members of Team: %u count %u", st, rec.count);

    uint16_t member = 9;
    st = QrdTestSNmMembership(sess, "bob@Sales@Demo", "Team@Sales@Demo", 1, &member);
    CHECK(st == 0 && member == 1, "bob in Team: %u %u", st, member);
    st = QrdTestSNmMembership(sess, "carol@Support@Demo", "Team@Sales@Demo", 1, &member);
    CHECK(st == 0 && member == 1, "carol in Team through her group: %u %u", st, member);
    st = QrdTestSNmMembership(sess, "alice@Sales@Demo", "Team@Sales@Demo", 1, &member);
    CHECK(st == 0 && member == 0, "alice not in Team: %u %u", st, member);

    char description[128];
    uint16_t length = sizeof description;
    st = QrdGetSNmUserAttrib(sess, "carol@Support@Demo", description, &length, NULL, NULL, NULL,
                             NULL, NULL);
    CHECK(st == 0 && strcmp(description, "Carol Clark") == 0, "user record: %u %s", st,
          description);
    st = QrdGetSNmUserAttrib(sess, "Team@Sales@Demo", NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    CHECK(st == QRDERR_NM_NO_RECORD, "a list is not a user: %u", st);
}

static const char usage[] =
    "usage: attr_check all | survived\n"
    "\n"
    "Checks the Namewright attribute, list and membership functions of the\n"
    "client library against a running namewrightd (run by attr_check.sh):\n"
    "  all        values, scans, deletes, lists and membership\n"
    "  survived   the 10000-byte value that \"all\" wrote is intact\n";

int main(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage, stdout);
        return 0;
    }
    int all = argc == 2 && strcmp(argv[1], "all") == 0;
    if (!all && !(argc == 2 && strcmp(argv[1], "survived") == 0)) {
        fprintf(stderr, "attr_check: expected a check to run\n\n%s", usage);
        return 2;
    }
    QRD_NM_SESS sess;
    QRDSTATUS st = QrdStartNmSession(NULL, QRD_CHARSET_LATIN1, NULL, &sess);
    CHECK(st == 0, "QrdStartNmSession: %u", st);
    if (st != 0) return 1;
    if (all) {
        checkValues(&sess);
        checkLists(&sess);
    } else {
        checkSurvived(&sess);
    }
    QrdEndNmSession(&sess);
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
