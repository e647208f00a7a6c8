// Error texts: the library's own texts without any traffic, the service's
// texts and refusals, and the fallback table when no service answers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "qrd/bytes.h"
#include "qrdapi.h"
#include "testenv.h"

namespace {

// A Namewright service on this workstation's well-known port that answers
// the error-text procedure from a table: a text, or a refusal code.
class FakeTextService {
  public:
    struct Answer {
        std::string text;
        uint16_t refusal = 0;
    };

    FakeTextService() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(qrdtest::workstation().portBase + QRD_SVC_NAMEWRIGHT));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~FakeTextService() {
        stop();
        close(fd_);
    }

    bool bound() const { return bound_; }
    void answer(uint16_t code, Answer a) { answers_[code] = std::move(a); }
    void start() {
        thread_ = std::thread([this] { serve(); });
    }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    int requests() const { return requests_; }
    // Datagrams waiting that nobody has read (the service not started).
    bool anythingQueued() const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }

  private:
    void serve() {
        while (running_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            uint8_t buf[1500];
            sockaddr_in from{};
            socklen_t fl = sizeof from;
            ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            if (n < 0) continue;
            ++requests_;
            qrd::BeReader r(buf, size_t(n));
            r.skip(10);
            uint16_t proc = r.u16();
            uint16_t code = r.u16();
            if (!r.ok() || proc != 255) continue;
            qrd::BeWriter w;
            auto it = answers_.find(code);
            if (it == answers_.end() || it->second.refusal) {
                w.u16(QRD_RPC_REFUSED);
                w.u16(qrd::getBe16(buf + 6)); // the echo of the call identity
                w.u16(it == answers_.end() ? 5001 : it->second.refusal);
            } else {
                w.u16(QRD_RPC_RETURN);
                w.u16(qrd::getBe16(buf + 6));
                w.string(it->second.text);
            }
            sendto(fd_, w.data().data(), w.size(), 0, reinterpret_cast<sockaddr*>(&from), fl);
        }
    }

    int fd_ = -1;
    bool bound_ = false;
    std::map<uint16_t, Answer> answers_;
    std::atomic<bool> running_{true};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// The Namewright service port of the server that serves this workstation.
QRD_PORT localNamewrightPort() {
    QRD_PORT port;
    EXPECT_EQ(QrdCreateLocalWkp(QRD_SVC_NAMEWRIGHT, &port), QRD_OK);
    uint16_t server = 1;
    QrdSetPortFields(nullptr, nullptr, &server, nullptr, nullptr, nullptr, nullptr, &port);
    return port;
}

std::string text(const QRD_PORT* port, uint16_t code, QRDSTATUS* st = nullptr) {
    char buf[QRD_ERRTEXT_LEN];
    std::memset(buf, 'x', sizeof buf);
    QRDSTATUS s = QrdGetErrorText(port, code, buf);
    if (st) *st = s;
    return std::string(buf, strnlen(buf, sizeof buf));
}

TEST(ErrorText, LibraryCodesNeedNoService) {
    FakeTextService service; // listening but silent: any request would queue
    ASSERT_TRUE(service.bound());
    QRD_PORT port = localNamewrightPort();
    QRDSTATUS st = 1;
    EXPECT_EQ(text(nullptr, 0, &st), "No error");
    EXPECT_EQ(st, QRD_OK);
    EXPECT_EQ(text(&port, 0), "No error");
    EXPECT_EQ(text(&port, 163, &st), "Service is not responding");
    EXPECT_EQ(st, QRD_OK);
    EXPECT_EQ(text(nullptr, 155), "Service is not responding");
    EXPECT_EQ(text(nullptr, 157), "Service is not available");
    EXPECT_EQ(text(nullptr, 102), "Software version unavailable");
    EXPECT_EQ(text(nullptr, 100), "System error 100, see your Administrator");
    EXPECT_EQ(text(&port, 499), "System error 499, see your Administrator");
    EXPECT_FALSE(service.anythingQueued());
    EXPECT_EQ(QrdGetErrorText(nullptr, 0, nullptr), QRDERR_BAD_ARG);
}

TEST(ErrorText, TheServiceAnswersOtherCodes) {
    FakeTextService service;
    ASSERT_TRUE(service.bound());
    service.answer(1002, {"No such object", 0});
    service.answer(2033, {"Service text for 2033", 0});
    service.answer(1500, {"", 5029});
    service.answer(2031, {"", 5029});
    service.answer(1600, {"", 1234});
    service.answer(1700, {std::string(200, 'T'), 0});
    service.start();
    QRD_PORT port = localNamewrightPort();

    QRDSTATUS st = 1;
    EXPECT_EQ(text(&port, 1002, &st), "No such object");
    EXPECT_EQ(st, QRD_OK);
    // A code of the fallback table still asks the service first.
    EXPECT_EQ(text(&port, 2033), "Service text for 2033");
    EXPECT_EQ(text(&port, 1400, &st), "1400: BAD ERROR CODE"); // refused with 5001
    EXPECT_EQ(st, QRD_OK);
    EXPECT_EQ(text(&port, 1500), "1500: Translation Not Available");
    // A refused code that the fallback table knows takes the table's text.
    EXPECT_EQ(text(&port, 2031, &st), "Translation Not Available");
    EXPECT_EQ(st, QRD_OK);
    // Any other refusal: the local text and the refusal as status.
    EXPECT_EQ(text(&port, 1600, &st), "System error 1600, see your Administrator");
    EXPECT_EQ(st, 1234);
    // An over-long answer is refused by the reader or cut to the buffer; it
    // never runs past it.
    std::string longText = text(&port, 1700, &st);
    EXPECT_LT(longText.size(), size_t(QRD_ERRTEXT_LEN));
    EXPECT_GE(service.requests(), 7);
}

TEST(ErrorText, WithoutAServiceTheFallbackTableAnswers) {
    // Nothing listens on this workstation's ports: every search runs out.
    // The look-ups run side by side, each waiting for its own search.
    struct Case {
        uint16_t code;
        std::string text;
        QRDSTATUS st = 1;
    } cases[] = {{2033, {}}, {2036, {}}, {1002, {}}};
    std::vector<std::thread> threads;
    for (Case& c : cases)
        threads.emplace_back([&c] { c.text = text(nullptr, c.code, &c.st); });
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(cases[0].text, "Service is not responding");
    EXPECT_EQ(cases[0].st, QRD_OK);
    // The table's one template shows its code.
    EXPECT_EQ(cases[1].text, "System error 2036, see your Administrator");
    EXPECT_EQ(cases[1].st, QRD_OK);
    // Not in the table: the local text and the failure's status.
    EXPECT_EQ(cases[2].text, "System error 1002, see your Administrator");
    EXPECT_NE(cases[2].st, QRD_OK);
}

} // namespace
