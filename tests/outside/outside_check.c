/*
 * The client library as an outside C program sees it: the public header
 * compiles as C11, the shared library links and loads under both of its
 * names, and the foundation's functions give their documented numbers and
 * texts.
 */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "qrdapi.h"

static int failures;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

#define CHECK_TEXT(got, want)                                                                      \
    do {                                                                                           \
        if (strcmp((got), (want)) != 0) {                                                          \
            fprintf(stderr, "%s:%d: got \"%s\", want \"%s\"\n", __FILE__, __LINE__, (got),         \
                    (want));                                                                       \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static void checkVersion(void) {
    QRD_API_VERSION v;
    memset(&v, 0xEE, sizeof v);
    CHECK(QrdGetApiVersion(&v) == QRD_OK);
    CHECK(v.words[0] == 5 && v.words[1] == 600 && v.words[2] == 0 && v.words[3] == 0);
}

static void checkGlobalVars(void) {
    char name[64];
    memset(name, 0, sizeof name);
    strcpy(name, "ORIGINAL@GROUP@ORG");
    CHECK(QrdSetGlobalVar(QRD_GV_USER_NAME, name, sizeof name) == QRD_OK);

    char buf[64];
    memset(buf, 'x', sizeof buf);
    CHECK(QrdGetGlobalVar(QRD_GV_USER_NAME, buf, 63) == QRDERR_GLOBALVAR);
    CHECK(buf[0] == 'x');
    CHECK(QrdSetGlobalVar(QRD_GV_USER_NAME, "NEWNAME@GR", 10) == QRD_OK);
    CHECK(QrdGetGlobalVar(QRD_GV_USER_NAME, buf, sizeof buf) == QRD_OK);
    CHECK_TEXT(buf, "NEWNAME@GRROUP@ORG");
    CHECK(QrdGetGlobalVar(35, buf, sizeof buf) == QRDERR_GLOBALVAR);
    CHECK(QrdGetGlobalVar(3, buf, sizeof buf) == QRDERR_GLOBALVAR);
    CHECK(QrdSetGlobalVar(QRD_GV_NONCE, buf, 15) == QRDERR_GLOBALVAR);
}

static void checkErrorTexts(void) {
    char text[QRD_ERRTEXT_LEN];
    CHECK(QrdGetErrorText(NULL, 0, text) == QRD_OK);
    CHECK_TEXT(text, "No error");
    CHECK(QrdGetErrorText(NULL, 163, text) == QRD_OK);
    CHECK_TEXT(text, "Service is not responding");
    CHECK(QrdGetErrorText(NULL, 155, text) == QRD_OK);
    CHECK_TEXT(text, "Service is not responding");
    CHECK(QrdGetErrorText(NULL, 157, text) == QRD_OK);
    CHECK_TEXT(text, "Service is not available");
    CHECK(QrdGetErrorText(NULL, 102, text) == QRD_OK);
    CHECK_TEXT(text, "Software version unavailable");
    CHECK(QrdGetErrorText(NULL, 300, text) == QRD_OK);
    CHECK_TEXT(text, "System error 300, see your Administrator");
}

static int allBytes(const QRD_PORT* p, unsigned char value) {
    const unsigned char* b = (const unsigned char*)p;
    for (int i = 0; i < 16; ++i)
        if (b[i] != value) return 0;
    return 1;
}

static void checkPorts(void) {
    QRD_PORT p, q;
    memset(&p, 0, sizeof p);
    CHECK(QrdCopyPort(NULL, &p) == QRD_OK);
    CHECK(allBytes(&p, 0xFF));
    QrdCopyPort(&p, NULL); /* nothing to write to: nothing happens */
    CHECK(QrdComparePorts(NULL, &p) == 1);
    memset(&q, 0, sizeof q);
    CHECK(QrdComparePorts(NULL, &q) == 0);
    CHECK(QrdSetPortNull(&q) == QRD_OK && QrdComparePorts(&p, &q) == 1);

    uint16_t family = 3, subnet = 1, number = 0x10F;
    uint32_t network = 5, word12 = 0x01020304;
    uint8_t o10 = 0xA1, o11 = 0xB2;
    memset(&p, 0, sizeof p);
    CHECK(QrdSetPortFields(&family, &network, &subnet, &number, &o10, &o11, &word12, &p) == QRD_OK);
    const unsigned char want[16] = {0x00, 0x03, 0,    0,    0, 5, 0x00, 0x01,
                                    0x01, 0x0F, 0xA1, 0xB2, 1, 2, 3,    4};
    CHECK(memcmp(&p, want, 16) == 0);
    CHECK_TEXT(QrdAddrToStr(&p), "5:1[271]");

    uint16_t f2 = 0, s2 = 0, n2 = 0;
    uint32_t net2 = 0, w2 = 0;
    uint8_t a2 = 0, b2 = 0;
    CHECK(QrdGetPortFields(&p, &f2, &net2, &s2, &n2, &a2, &b2, &w2) == QRD_OK);
    CHECK(f2 == 3 && net2 == 5 && s2 == 1 && n2 == 0x10F && a2 == 0xA1 && b2 == 0xB2 &&
          w2 == 0x01020304);

    /* Only the fields with a pointer are written; other families are
     * little-endian. */
    family = 2;
    CHECK(QrdSetPortFields(&family, NULL, NULL, NULL, NULL, NULL, NULL, &p) == QRD_OK);
    CHECK(((unsigned char*)&p)[0] == 0x02 && ((unsigned char*)&p)[1] == 0x00);
    CHECK(memcmp((unsigned char*)&p + 2, want + 2, 14) == 0);
    CHECK(QrdGetPortFields(&p, &f2, NULL, NULL, NULL, NULL, NULL, NULL) == QRD_OK);
    CHECK(f2 == 2);
}

static void checkProtocolSwitch(void) {
    /* The attach prefers the native protocol. */
    CHECK(QrdGetProtocolPref() == QRD_PROT_QIP);

    /* "IP:QIP" on a host whose native probe succeeds: the Internet protocol
     * is asked for but absent, so only the native one stays; a preference
     * still unset takes the first token. */
    setenv("HLV_PROTSEQ", "IP:QIP", 1);
    QrdSetProtocolPref(0);
    QrdSetProtocolAvail(0);
    CHECK(QrdGetProtocolAvail() == QRD_PROT_QIP);
    CHECK(QrdGetProtocolPref() == QRD_PROT_IP);

    /* An unknown token asks for nothing. */
    setenv("HLV_PROTSEQ", "IPX", 1);
    QrdSetProtocolPref(0);
    QrdSetProtocolAvail(0);
    CHECK(QrdGetProtocolAvail() == QRD_PROT_QIP);
    CHECK(QrdGetProtocolPref() == QRD_PROT_QIP);

    unsetenv("HLV_PROTSEQ");
    QrdSetProtocolPref(QRD_PROT_QIP);
}

static unsigned char one(void (*conv)(char*), unsigned char b) {
    char s[2] = {(char)b, 0};
    conv(s);
    return (unsigned char)s[0];
}

static void checkConverters(void) {
    char s[8];
    strcpy(s, "\xC9\xDF\xD7\xF7\xA9\x41");
    QrdConvLatin1ToAscii(s);
    CHECK(memcmp(s, "Es\x01\x01\x01\x41", 7) == 0);
    strcpy(s, "\xE9t\xE9");
    QrdConvLatin1ToUpAscii(s);
    CHECK_TEXT(s, "ETE");
    CHECK(one(QrdConvPcmToAscii, 0x81) == 'u');
    CHECK(one(QrdConvPcmToAscii, 0xE1) == 's');
    CHECK(one(QrdConvPcmToAscii, 0xFF) == 0x01);
    CHECK(one(QrdConvLatin1ToPcm, 0x80) == 0x9F);
    CHECK(one(QrdConvLatin1ToPcm, 0xFF) == 0x98);
    const unsigned char row[8] = {0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7};
    for (int i = 0; i < 8; ++i)
        CHECK(one(QrdConvPcmToLatin1, (unsigned char)(0x80 + i)) == row[i]);
    for (int b = 0x80; b <= 0xFF; ++b)
        CHECK(one(QrdConvPcmToLatin1, one(QrdConvLatin1ToPcm, (unsigned char)b)) == b);
}

/* namebrowse and deskinstall load the library as libqrdapi.so: it must be
 * this very library, not a copy with state of its own. */
static void checkSecondName(void) {
    void* a = dlopen(QRD_LIB_DIR "/libqrdxapi.so", RTLD_NOW);
    void* b = dlopen(QRD_LIB_DIR "/libqrdapi.so", RTLD_NOW);
    CHECK(a != NULL && b != NULL);
    if (!a || !b) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return;
    }
    void* fa = dlsym(a, "QrdGetApiVersion");
    void* fb = dlsym(b, "QrdGetApiVersion");
    CHECK(fa != NULL && fa == fb);
    CHECK(fa == (void*)&QrdGetApiVersion);
    /* The state is shared too: a preference set through one name is seen
     * through the other. */
    uint16_t (*getPref)(void) = (uint16_t(*)(void))dlsym(b, "QrdGetProtocolPref");
    CHECK(getPref != NULL);
    if (getPref) {
        QrdSetProtocolPref(QRD_PROT_IP);
        CHECK(getPref() == QRD_PROT_IP);
        QrdSetProtocolPref(QRD_PROT_QIP);
    }
    dlclose(b);
    dlclose(a);
}

/* The workstation's store outlives the program; this check's workstation is
 * its own, so it removes it (names as docs/frame.md gives them). */
static void removeStore(void) {
    const char* ws = getenv("QRD_WORKSTATION");
    if (!ws || !*ws) return;
    char name[300];
    snprintf(name, sizeof name, "/MMFUnmGlobalVar.%u.%s", (unsigned)geteuid(), ws);
    shm_unlink(name);
    snprintf(name, sizeof name, "/MUTEXUnmGlobalVar.%u.%s", (unsigned)geteuid(), ws);
    shm_unlink(name);
}

int main(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        puts("usage: outside_check\n\n"
             "Checks the client library as an outside C program sees it: the header,\n"
             "both library names, and the foundation's numbers and texts. Run by ctest\n"
             "with a workstation of its own.");
        return 0;
    }
    if (argc > 1) {
        fprintf(stderr, "outside_check: takes no arguments (outside_check --help)\n");
        return 2;
    }
    checkVersion();
    checkGlobalVars();
    checkErrorTexts();
    checkPorts();
    checkProtocolSwitch();
    checkConverters();
    checkSecondName();
    CHECK(QrdDone() == QRD_OK);
    removeStore();
    if (failures) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("outside check: all passed\n");
    return 0;
}
