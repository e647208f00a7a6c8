// The browser's backend over the NMDA client: connecting as the user's
// profile asks, pages through QrdGetNmdaData, attributes through
// QrdGetNmdaAttr and the scan through the implicit Namewright session.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "backend.h"
#include "qrd/latin1.h"

namespace browse {

namespace {

constexpr uint32_t kLocateTimeout = 55; // ticks
constexpr uint8_t kLocateSpread = 2;
constexpr uint16_t kScanBatch = 25;

bool containsNoCase(const std::string& text, const std::string& what) {
    auto at = std::search(text.begin(), text.end(), what.begin(), what.end(),
                          [](char a, char b) { return std::toupper(a) == std::toupper(b); });
    return at != text.end();
}

// The server a "!SETNMDA" value prefers: the text between its first two
// double quotes, else its first word; "" for none.
std::string preferredServer(const std::string& value) {
    size_t open = value.find('"');
    if (open != std::string::npos) {
        size_t close = value.find('"', open + 1);
        if (close != std::string::npos) return value.substr(open + 1, close - open - 1);
    }
    size_t start = value.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || value[start] == '/') return "";
    size_t end = value.find_first_of("\r\n\t, \\", start);
    return value.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

QRDSTATUS locate(const std::string& server, QRD_PORT& port, char (&serviceName)[NMNAMELEN]) {
    char pattern[QRD_NMDA_PATTERN_LEN] = {};
    std::memcpy(pattern, server.data(), std::min(server.size(), sizeof pattern - 1));
    uint32_t word = 0;
    return QrdOpenNmdaSocket(&port, 1, pattern, serviceName, kLocateTimeout, kLocateSpread, nullptr,
                             &word);
}

std::string valueText(const QRD_NMDA_ATTR& a) {
    uint32_t count = a.count;
    switch (a.type) {
    case ATTR_TEXT:
        return qrd::latin1ToUtf8(reinterpret_cast<const char*>(a.value),
                                 std::min<size_t>(count, sizeof a.value));
    case ATTR_INTEGERS: {
        std::string out;
        for (uint32_t i = 0; i < count && (i + 1) * 4 <= sizeof a.value; ++i) {
            uint32_t v;
            std::memcpy(&v, a.value + i * 4, 4);
            out += (i ? " " : "") + std::to_string(v);
        }
        return out;
    }
    default: {
        static const char hex[] = "0123456789ABCDEF";
        std::string out;
        for (uint32_t i = 0; i < count && i < sizeof a.value; ++i) {
            if (i) out += ' ';
            out += hex[a.value[i] >> 4];
            out += hex[a.value[i] & 15];
        }
        return out;
    }
    }
}

class NmdaNames : public NameSource {
  public:
    explicit NmdaNames(QRD_NMDA_HANDLE handle) : handle_(handle) {}
    QRDSTATUS query(QRD_NMDA_CONTEXT& context, QRD_NMDA_QUERY& query,
                    QRD_NMDA_RESULT& result) override {
        QRD_NMDA_LIMITS limits{0, QRD_NMDA_PAGE, 0};
        return QrdGetNmdaData(handle_, &context, &query, &limits, &result);
    }

  private:
    QRD_NMDA_HANDLE handle_;
};

class NmdaBackend : public DirectoryBackend {
  public:
    NmdaBackend(QRD_NMDA_HANDLE handle, std::string server)
        : handle_(handle), names_(handle), server_(std::move(server)) {}
    ~NmdaBackend() override { QrdEndNmdaSession(handle_); }
    NameSource& names() override { return names_; }
    std::string serverName() override { return server_; }

    QRDSTATUS attribute(const std::string& name, AttrName attr, AttributeValue& out) override {
        std::string latin1 = qrd::utf8ToLatin1Lossy(name);
        auto record = std::make_unique<QRD_NMDA_ATTR>();
        if (QRDSTATUS s =
                QrdGetNmdaAttr(handle_, latin1.c_str(), attr.category, attr.number, record.get()))
            return s;
        out.status = record->status;
        out.type = record->type;
        out.text = valueText(*record);
        return QRD_OK;
    }

    QRDSTATUS scan(const std::string& name, std::vector<AttrName>& out) override {
        std::string latin1 = qrd::utf8ToLatin1Lossy(name);
        AttrName first{0, 0}, last{0xFFFFFFFF, 0xFFFFFFFF};
        QRD_SCAN_PASS pass{};
        out.clear();
        do {
            AttrName batch[kScanBatch];
            uint16_t count = kScanBatch;
            if (QRDSTATUS s = QrdScanNmAttr(latin1.c_str(), QRD_OCL_OBJECT, &first, &last, &pass,
                                            &count, batch))
                return s;
            out.insert(out.end(), batch, batch + std::min(count, kScanBatch));
        } while (std::any_of(std::begin(pass.bytes), std::end(pass.bytes),
                             [](uint8_t b) { return b != 0; }));
        return QRD_OK;
    }

  private:
    QRD_NMDA_HANDLE handle_;
    NmdaNames names_;
    std::string server_;
};

} // namespace

QRDSTATUS connectNmda(std::unique_ptr<DirectoryBackend>& out) {
    char user[NMNAMELEN] = {};
    if (QRDSTATUS s = QrdGetUserName(user)) return s;

    char value[QRD_PROFILE_VALUE_LEN] = {}, second[QRD_PROFILE_VALUE_LEN] = {};
    bool alternative = true;
    std::string server;
    if (QrdGetNmProfileEntry(user, QRD_PROFILE_SETNMDA, value, second) == QRD_OK) {
        std::string v(value, strnlen(value, sizeof value));
        alternative = containsNoCase(v, "/ALT") || !containsNoCase(v, "/NOALT");
        server = preferredServer(v);
    }

    QRD_PORT port;
    char serviceName[NMNAMELEN] = {};
    QRDSTATUS s = locate(server, port, serviceName);
    if (s != QRD_OK && alternative && !server.empty()) {
        QrdSetPortNull(&port);
        s = locate("", port, serviceName);
    }
    if (s != QRD_OK) return s;

    QRD_PORT rpcPort;
    bool haveRpcPort = QrdGetRpcPort(serviceName, &rpcPort, 0) == QRD_OK;
    QRD_NMDA_HANDLE handle = nullptr;
    if ((s = QrdStartNmdaSession(haveRpcPort ? &rpcPort : nullptr, &handle))) return s;

    char serverName[NMNAMELEN] = {};
    if (QrdGetSvrName(&port, serverName) != QRD_OK) serverName[0] = 0;
    out = std::make_unique<NmdaBackend>(handle, qrd::latin1ToUtf8(serverName, sizeof serverName));
    return QRD_OK;
}

// Loading the library makes the service the dialogs' backend.
[[maybe_unused]] const bool kInstalled = (backendFactory() = connectNmda, true);

} // namespace browse
