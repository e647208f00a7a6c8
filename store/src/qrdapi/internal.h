// Shared inside the client API wrapper: the client table in use, the
// per-thread last error, the settings and the retry loop.
#pragma once

#include <functional>
#include <new>
#include <string>

#include "namedir/qrdapi_wrapper.h"
#include "namedir/qrdclient.h"
#include "qrd/latin1.h"

namespace namedir {

using qrd::isUtf8;
using qrd::latin1ToUtf8;
using qrd::utf8ToLatin1;
using qrd::utf8ToLatin1Lossy;

// The client API table in use (the default one unless a test replaced it).
const QrdClientCalls& client();
// The calling thread's session, created and started when needed.
QRD_NM_SESS* threadSession();
// Records a nonzero status as the calling thread's last error; returns it.
QRDSTATUS check(QRDSTATUS status);

// The store's settings, read from the registry stand-in on first use.
CQrdApi::Settings currentSettings();
// Pauses between retries (the real sleep unless a test replaced it).
void retryPause(unsigned long ms);

bool isTransient(QRDSTATUS status);
// Runs `call` (which returns a client API status) until it succeeds, fails
// with a status that is not transient, or has been retried `Retries` times;
// the i-th retry waits i x RetryDelay. Every failure becomes the thread's
// last error, the final one only when `recordFinal` is set.
QRDSTATUS withRetry(const std::function<QRDSTATUS()>& call, bool recordFinal = true);

// A name for the client API: Latin-1, no NUL inside. 0, or 1001 (a name
// Latin-1 cannot hold is an invalid name).
QRDSTATUS wireName(const std::string& utf8, std::string& latin1);

// Object class of an attribute holder: two parts make a group name.
uint16_t holderClass(const std::string& latin1Holder);

// Runs `body`; an allocation failure gives `onNoMemory` instead of an
// exception leaving the library.
template <class R, class F> R noThrow(R onNoMemory, F&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return onNoMemory;
    } catch (const std::length_error&) {
        return onNoMemory;
    }
}

} // namespace namedir
