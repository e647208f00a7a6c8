// A live session of the running daemon, stolen: its identifier sent from
// another loopback address is refused, from its own address it works.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "nwd_process.h"
#include "qrd/bytes.h"
#include "qrdapi.h"
#include "rpc/stubs.h"

namespace {

// Procedure 15 (format name) naming session `sid`, sent from `fromAddress`
// to the daemon's native Namewright port: the reply's status (0, or the
// refusal's code), or -1 when nothing came back.
int formatFrom(uint32_t fromAddress, const uint8_t sid[4]) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    sockaddr_in me{};
    me.sin_family = AF_INET;
    me.sin_addr.s_addr = htonl(fromAddress);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(qrdtest::workstation().portBase + QRD_SVC_NAMEWRIGHT));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    qrd::BeWriter w;
    for (uint16_t v : {0, 0, 0, 0, 1, 15})
        w.u16(v);
    w.bytes(sid, 4);
    w.u16(300);
    w.string("bob@sales@demo");
    int status = -1;
    uint8_t reply[128];
    pollfd p{fd, POLLIN, 0};
    if (bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me) == 0 &&
        sendto(fd, w.data().data(), w.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
            ssize_t(w.size()) &&
        poll(&p, 1, 5000) == 1) {
        ssize_t n = recv(fd, reply, sizeof reply, 0);
        if (n >= 6 && qrd::getBe16(reply) == 1) status = qrd::getBe16(reply + 4);
        if (n >= 4 && qrd::getBe16(reply) == 2) status = 0;
    }
    close(fd);
    return status;
}

TEST(SessionBinding, AStolenIdentifierIsRefusedFromAnotherAddress) {
    const qrdtest::Workstation& ws = qrdtest::workstation();
    const std::string db = ws.dir + "/binding.db";
    ASSERT_EQ(nwdtest::runTool({"seed", "--db", db, "--kdf-iterations", "1000"}).exitCode, 0);
    nwdtest::Daemon d;
    ASSERT_TRUE(
        d.start({"--db", db, "--server-name", "NW1@Sales@Demo", "--config", ws.qordaIni},
                ws.dir + "/binding.log",
                {"QRD_WORKSTATION=" + std::string(std::getenv("QRD_WORKSTATION")) + "-nwd"}));
    QRD_PORT port = nwdtest::localService();
    QRD_NONCE nonce{};
    char canonical[NMNAMELEN];
    ASSERT_EQ(QrdNmLogin(&port, "bob@Sales@Demo", "bob-demo", &nonce, canonical), 0);
    ASSERT_EQ(QrdSetNonce(&nonce), 0);
    QRD_NM_SESS sess;
    ASSERT_EQ(QrdStartNmSession(nullptr, QRD_CHARSET_LATIN1, nullptr, &sess), 0);

    EXPECT_EQ(formatFrom(0x7F000002, sess.id), 1017) << "the session answered another address";
    EXPECT_EQ(formatFrom(0x7F000001, sess.id), 0);
    // The library's own calls go on.
    char out[NMNAMELEN];
    uint16_t len = sizeof out;
    EXPECT_EQ(QrdFormatSNmName(&sess, "BOB@sales@demo", out, &len), 0);
    QrdEndNmSession(&sess);
}

} // namespace
