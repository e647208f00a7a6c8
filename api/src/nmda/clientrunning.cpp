// Whether the workstation's network client runs. Here the client is the
// in-process comm-stack device, so it runs when that device takes a native
// socket; QORDA.INI can switch it off.
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "qrdapi.h"

namespace {

constexpr uint16_t kDatagrams = 1; // the socket kind asked for

std::mutex g_lock;
std::optional<int> g_answer; // the last answer, kept for the process

int askDevice() {
    uint32_t sock = 0;
    const QRDSTATUS st =
        QrdOpenSocket(&sock, QRD_FAMILY_NATIVE, kDatagrams, QRD_PORT_ANY, nullptr, 0);
    if (st == QRD_OK) QrdCloseSocket(sock);
    return st == QRD_OK ? 1 : 0;
}

} // namespace

extern "C" QRDAPI int QrdIsClientRunning(uint32_t seconds) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (seconds == 0 && g_answer) return *g_answer;
    }
    int running = askDevice();
    for (uint32_t i = 0; i < seconds && !running; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the device has no event to wait on
        running = askDevice();
    }
    std::lock_guard<std::mutex> hold(g_lock);
    g_answer = running;
    return running;
}
