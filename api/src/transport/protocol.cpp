// The protocol switch (which roads this process may use and prefers), the
// local addresses, and the well-known port of the serving server.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include "base/sockutil.h"
#include "qrd/bytes.h"
#include "qrd/config.h"
#include "qrdapi.h"
#include "transport/protocol.h"

namespace {

// Process-wide, set at start-up; atomics so that a late reader never sees a
// torn value.
constinit std::atomic<uint16_t> g_avail{0};
constinit std::atomic<uint16_t> g_pref{0};
constinit std::atomic<bool> g_availComputed{false};

constexpr uint16_t kDatagramType = 1;

uint16_t computeAvail() {
    uint16_t avail = g_avail.load();
    if (avail != 0) return avail;
    uint32_t sock = 0;
    QRDSTATUS st = QrdOpenSocket(&sock, QRD_FAMILY_NATIVE, kDatagramType, QRD_PORT_ANY, nullptr, 0);
    if (st != QRDERR_NO_PROTOCOL && st != QRDERR_PROTOCOL_ABSENT) avail |= QRD_PROT_QIP;
    if (st == QRD_OK) QrdCloseSocket(sock);

    uint16_t request = 0;
    if (const char* env = std::getenv("HLV_PROTSEQ")) {
        std::string_view rest(env);
        for (;;) {
            size_t colon = rest.find(':');
            std::string_view token = rest.substr(0, colon);
            uint16_t bit = 0;
            if (token == "IP")
                bit = QRD_PROT_IP;
            else if (token == "QIP")
                bit = QRD_PROT_QIP;
            if (bit) {
                request |= bit;
                uint16_t zero = 0;
                g_pref.compare_exchange_strong(zero, bit);
            }
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (request & avail) avail = request & avail;
    g_avail.store(avail);
    g_availComputed.store(true);
    return avail;
}

// This host's IPv4 address toward the Internet road's search address.
uint32_t localInetAddress() {
    const qrd::CommStackConfig cfg = qrd::loadCommStackConfig(qrd::loadQordaIni());
    return qrd::localAddressToward(cfg.searchAddress, cfg.searchPort);
}

} // namespace

void qrd::resetProtocolSwitch() {
    g_avail.store(0);
    g_pref.store(0);
    g_availComputed.store(false);
}

extern "C" {

QRDAPI uint16_t QrdGetProtocolAvail(void) {
    return computeAvail();
}

QRDAPI QRDSTATUS QrdSetProtocolAvail(uint16_t mask) {
    if (!g_availComputed.load()) computeAvail();
    g_avail.store(mask);
    return QRD_OK;
}

QRDAPI uint16_t QrdGetProtocolPref(void) {
    uint16_t pref = g_pref.load();
    if (pref != 0) return pref;
    const uint16_t avail = computeAvail(); // may set the preference from HLV_PROTSEQ
    pref = g_pref.load();
    if (pref != 0) return pref;
    pref = (avail & QRD_PROT_IP) ? QRD_PROT_IP : uint16_t(avail & QRD_PROT_QIP);
    g_pref.store(pref);
    return pref;
}

QRDAPI QRDSTATUS QrdSetProtocolPref(uint16_t pref) {
    g_pref.store(pref);
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdGetNetAddrs(QRD_NET_ADDR* entries, uint16_t* countInOut) {
    if (!countInOut || (!entries && *countInOut)) return QRDERR_BAD_ARG;
    const uint16_t capacity = *countInOut;
    uint16_t n = 0;
    // The native address: the local record of a native socket.
    if (n < capacity) {
        uint32_t sock = 0;
        QRD_PORT local;
        if (QrdOpenSocket(&sock, QRD_FAMILY_NATIVE, kDatagramType, QRD_PORT_ANY, &local, 0) ==
            QRD_OK) {
            QrdCloseSocket(sock);
            std::memset(&entries[n], 0, sizeof entries[n]);
            entries[n++].port = local;
        }
    }
    // The Internet address, as a socket address with port 0.
    if (n < capacity) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(localInetAddress());
        std::memset(&entries[n], 0, sizeof entries[n]);
        qrd::inetPortFromSockaddr(sa, &entries[n++].port);
    }
    *countInOut = n;
    return QRD_OK;
}

QRDAPI QRDSTATUS QrdCreateLocalWkp(uint16_t wellKnownPort, QRD_PORT* portOut) {
    const uint16_t pref = QrdGetProtocolPref();
    if (pref == QRD_PROT_IP) return QRD_PROT_IP; // the Internet road has no local server port
    if (pref != QRD_PROT_QIP) return QRDERR_NO_PROTOCOL;
    if (!portOut) return QRDERR_BAD_ARG;
    QRD_NET_ADDR addrs[4];
    uint16_t count = 4;
    QrdGetNetAddrs(addrs, &count);
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&addrs[i].port);
        if (b[1] != QRD_FAMILY_NATIVE) continue;
        *portOut = addrs[i].port;
        uint8_t* out = reinterpret_cast<uint8_t*>(portOut);
        out[8] = (wellKnownPort & 0x100) ? 1 : 0;
        out[9] = uint8_t(wellKnownPort);
        return QRD_OK;
    }
    return QRDERR_PROTOCOL_ABSENT;
}

} // extern "C"
