/*
 * Outside check of the Namewright session and name functions: a C program
 * that sees the client library only through qrdapi.h and libqrdxapi.so, run
 * by session_check.sh against a real namewrightd after a real login.
 *
 *   session_check loggedin USER   the workstation is logged in as USER
 *   session_check loggedout       nobody is logged in
 */
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "qrdapi.h"

#include "check.h"

static void checkLoggedIn(const char* user) {
    char name[NMNAMELEN] = {0};
    CHECK(QrdGetUserName(name) == 0, "QrdGetUserName");
    CHECK(strcasecmp(name, user) == 0, "user name is %s, expected %s", name, user);

    QRD_NONCE nonce;
    CHECK(QrdGetNonce(&nonce) == 0 && nonce.word1 != 0, "a login nonce is present");

    /* An explicit session, found by the library on its own. */
    QRD_NM_SESS sess;
    QrdInitNmSession(1, NULL, &sess);
    CHECK(sess.active == 0, "an initialised session is inactive");
    QRD_PORT found;
    QrdSetPortNull(&found);
    QRDSTATUS st = QrdStartNmSession(NULL, 1, NULL, &sess);
    CHECK(st == 0, "QrdStartNmSession: %u", st);
    CHECK(sess.active == 1, "the started session is active");

    /* The service spells names canonically, whatever case the caller used. */
    char out[NMNAMELEN];
    uint16_t outLength = sizeof out;
    st = QrdFormatSNmName(&sess, "ALICE@sales@demo", out, &outLength);
    CHECK(st == 0 && strcmp(out, "alice@Sales@Demo") == 0, "format name: %u %s", st, out);
    CHECK(outLength == strlen("alice@Sales@Demo") + 1, "needed length %u", outLength);

    outLength = sizeof out;
    st = QrdFormatSNmGroup(&sess, "support@DEMO", out, &outLength);
    CHECK(st == 0 && strcmp(out, "Support@Demo") == 0, "format group: %u %s", st, out);

    outLength = sizeof out;
    st = QrdFormatSNmGroup(&sess, "alice@Sales@Demo", out, &outLength);
    CHECK(st == QRDERR_NM_NOT_GROUP, "a user is not a group: %u", st);

    outLength = sizeof out;
    st = QrdFormatSNmOrg(&sess, "demo", out, &outLength);
    CHECK(st == 0 && strcmp(out, "Demo") == 0, "format organisation: %u %s", st, out);

    outLength = 5; /* too small: cut, with the needed length reported */
    st = QrdFormatSNmName(&sess, "bob@sales@demo", out, &outLength);
    CHECK(st == QRDERR_NM_BUFFER_SMALL && strcmp(out, "bob@") == 0 && outLength == 15,
          "short output: %u '%s' %u", st, out, outLength);

    outLength = sizeof out;
    st = QrdFormatSNmName(&sess, "nobody@Sales@Demo", out, &outLength);
    CHECK(st != 0, "an unknown name is refused");

    char longName[80];
    memset(longName, 'a', sizeof longName - 1);
    longName[sizeof longName - 1] = '\0';
    outLength = sizeof out;
    CHECK(QrdFormatSNmName(&sess, longName, out, &outLength) == QRDERR_NM_NAME_TOO_LONG,
          "a 79-character name is too long");

    /* The server's port: resolved by name through the service. */
    QRD_PORT server;
    st = QrdCreateSSvrWkp(&sess, "NW1@Sales@Demo", 15, &server);
    CHECK(st == 0, "QrdCreateSSvrWkp: %u", st);
    uint32_t revision = 0;
    CHECK(QrdGetSvrLRev(&server, &revision) == 0 && revision >= 70000, "revision %u", revision);

    /* Texts of the service's own statuses come from the service. */
    char text[QRD_ERRTEXT_LEN];
    CHECK(QrdGetErrorText(&sess.port, QRDERR_NM_NOT_GROUP, text) == 0 && text[0] != '\0' &&
              strncmp(text, "System error", 12) != 0,
          "service error text: %s", text);

    QrdEndNmSession(&sess);
    CHECK(sess.active == 0, "an ended session is inactive");

    /* The implicit session of the process. */
    CHECK(QrdFormatNmName("CAROL@support@demo", out) == 0 && strcmp(out, "carol@Support@Demo") == 0,
          "implicit session format: %s", out);
    QRD_NM_SESS* implicit = NULL;
    CHECK(QrdGetImplicitNmSession(&implicit) == 0 && implicit && implicit->active == 1,
          "implicit session active");

    /* The service search finds the daemon. */
    CHECK(QrdEasyFindSvc(QRD_SVC_NAMEWRIGHT, &found) == 0, "QrdEasyFindSvc");
    uint16_t family = 0;
    QrdGetPortFields(&found, &family, NULL, NULL, NULL, NULL, NULL, NULL);
    CHECK(family == QRD_FAMILY_NATIVE, "found a native port (family %u)", family);

    /* Name syntax, locally. */
    CHECK(QrdValidateNmName(0, "alice@Sales@Demo", QRD_NO_WILDCARDS) == 0, "valid name");
    CHECK(QrdValidateNmName(0, "*@Sales@Demo", QRD_NO_WILDCARDS) == QRDERR_NM_BAD_NAME,
          "wildcards refused");
    CHECK(QrdHashNmName("AB") == 257, "hash of AB");
}

static void checkLoggedOut(void) {
    QRD_NM_SESS sess;
    QrdInitNmSession(1, NULL, &sess);
    QRDSTATUS st = QrdStartNmSession(NULL, 1, NULL, &sess);
    CHECK(st == QRDERR_NM_NOT_LOGGED_IN, "a start without a login gives 1801, got %u", st);
    char name[NMNAMELEN] = {0};
    QrdGetUserName(name);
    CHECK(name[0] == '\0', "no user name after logout: %s", name);
}

static const char usage[] =
    "usage: session_check loggedin USER | loggedout\n"
    "\n"
    "Checks the Namewright session and name functions of the client library\n"
    "against a running namewrightd (run by session_check.sh):\n"
    "  loggedin USER   the workstation is logged in as USER\n"
    "  loggedout       nobody is logged in\n";

int main(int argc, char** argv) {
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage, stdout);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "loggedin") == 0)
        checkLoggedIn(argv[2]);
    else if (argc == 2 && strcmp(argv[1], "loggedout") == 0)
        checkLoggedOut();
    else {
        fprintf(stderr, "session_check: expected a check to run\n\n%s", usage);
        return 2;
    }
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
