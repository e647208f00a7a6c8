// The retry of transient failures of attribute calls.
#include <algorithm>
#include <iterator>

#include "qrdapi/internal.h"

namespace namedir {

namespace {
// Statuses after which the same call may well succeed a moment later: the
// transport's time-outs and lost buffers, the service's busy and lost-session
// answers.
constexpr QRDSTATUS kTransient[] = {155,  162,  163,  165,  177,  250,  251,  254, 260,
                                    1006, 1012, 1022, 1024, 1026, 1032, 1037, 1039};
} // namespace

bool isTransient(QRDSTATUS status) {
    return std::find(std::begin(kTransient), std::end(kTransient), status) != std::end(kTransient);
}

QRDSTATUS withRetry(const std::function<QRDSTATUS()>& call, bool recordFinal) {
    const CQrdApi::Settings s = currentSettings();
    for (unsigned long failures = 1;; ++failures) {
        QRDSTATUS status = call();
        if (status == 0) return 0;
        bool final = !isTransient(status) || failures > s.retries;
        if (!final || recordFinal) check(status);
        if (final) return status;
        retryPause(failures * s.retryDelayMs);
    }
}

} // namespace namedir
