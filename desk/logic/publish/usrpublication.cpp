#include "publish/usrpublication.h"

#include <chrono>

#include <namedir/errors.h>
#include <namedir/qrdapi_wrapper.h>

#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "folders/usrfoldernode.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kLockWait = 100ms;

std::string folderTitle(const USRFolderNode& f) {
    return f.name();
}

} // namespace

std::unique_ptr<USRPublication> USRPublication::open(USRFolderNode& folder) {
    if (!folder.takeBusyLock()) {
        folder.context().prompter().showMessage(
            USRString(USR_STR_LOCKED_PUBLISH) + " " + folder.name(), USRIcon::Exclamation);
        return nullptr;
    }
    return std::unique_ptr<USRPublication>(new USRPublication(folder));
}

USRPublication::USRPublication(USRFolderNode& folder)
    : folder_(folder), caption_("Publish Folder: " + folderTitle(folder)) {
    publisher_ = [this](const std::string& recipient, long& error) {
        return folder_.publishTo(recipient, error);
    };
}

USRPublication::~USRPublication() {
    cancel();
    if (worker_.joinable()) worker_.join();
    folder_.releaseBusyLock();
}

const std::vector<USRAccessEntry>& USRPublication::entries() const {
    return folder_.data().accessRights;
}

std::string USRPublication::caption() const {
    return caption_;
}

bool USRPublication::start(const std::vector<int>& selectedRows) {
    USRPrompter& prompter = folder_.context().prompter();
    if (state() != Idle) return false;
    auto& rights = folder_.data().accessRights;
    for (int row : selectedRows) {
        if (row < 0 || size_t(row) >= rights.size()) {
            prompter.showError(DIR_OBJECT_MISSING);
            continue;
        }
        rights[size_t(row)].mark = true;
    }
    std::map<std::string, std::string> recipients;
    long e = 0;
    if (!folder_.collectRecipients(recipients, e)) {
        prompter.showError(e);
        return false;
    }
    if (recipients.empty()) {
        prompter.beep();
        return false;
    }
    if (worker_.joinable()) worker_.join();
    {
        std::lock_guard<std::timed_mutex> hold(lock_);
        pending_ = std::move(recipients);
        next_ = pending_.begin();
        results_.clear();
        total_ = errors_ = notUsers_ = 0;
        errorsOccurred_ = false;
        state_ = Running;
    }
    shown_.clear();
    caption_ = USRString(USR_STR_PUBLISHING) + " " + folderTitle(folder_);
    worker_ = std::thread([this] { runWorker(); });
    return true;
}

void USRPublication::cancel() {
    std::lock_guard<std::timed_mutex> hold(lock_);
    if (state_ == Running) state_ = CancelRequested;
}

void USRPublication::runWorker() {
    if (!needsSession_ || CQrdApi::createSession()) {
        while (publishNext())
            std::this_thread::yield();
    }
    if (needsSession_) CQrdApi::destroySession();
    // However it ended, the window must be able to finish.
    std::lock_guard<std::timed_mutex> hold(lock_);
    if (state_ != Idle) state_ = Finished;
}

bool USRPublication::publishNext() {
    std::string recipient, member;
    {
        std::unique_lock<std::timed_mutex> hold(lock_, kLockWait);
        if (!hold.owns_lock() || next_ == pending_.end() || state_ != Running) {
            if (hold.owns_lock()) state_ = Finished;
            return false;
        }
        recipient = next_->first;
        member = next_->second;
        ++next_;
    }
    long e = 0;
    bool sent = publisher_(recipient, e);
    std::string status = sent ? USRString(USR_STR_SENT) : USRErrorText(e, true);
    std::unique_lock<std::timed_mutex> hold(lock_, kLockWait);
    if (!hold.owns_lock()) return false; // runWorker finishes the state
    results_.push_back({status, recipient, member == recipient ? std::string() : member});
    ++total_;
    if (!sent) {
        errorsOccurred_ = true;
        ++(e == DIR_NOT_A_USER ? notUsers_ : errors_);
    }
    bool more = next_ != pending_.end();
    if (!more || state_ == CancelRequested) {
        state_ = Finished;
        return false;
    }
    return true;
}

USRPublication::Tick USRPublication::tick() {
    Tick t;
    std::unique_lock<std::timed_mutex> hold(lock_, kLockWait);
    if (!hold.owns_lock()) return t;
    for (size_t i = shown_.size(); i < results_.size(); ++i) {
        t.rows.push_back(results_[i]);
        shown_.push_back(results_[i]);
    }
    if (state_ == Finished && shown_.size() == results_.size()) {
        state_ = Idle;
        t.done = true;
        caption_ = USRString(USR_STR_DONE) + " " + folderTitle(folder_);
    }
    return t;
}

USRPublication::State USRPublication::state() const {
    std::lock_guard<std::timed_mutex> hold(lock_);
    return state_;
}

long USRPublication::total() const {
    std::lock_guard<std::timed_mutex> hold(lock_);
    return total_;
}

long USRPublication::errors() const {
    std::lock_guard<std::timed_mutex> hold(lock_);
    return errors_;
}

long USRPublication::notUsers() const {
    std::lock_guard<std::timed_mutex> hold(lock_);
    return notUsers_;
}

bool USRPublication::waitWorker(int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        State s = state();
        if (s == Finished || s == Idle) break;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (worker_.joinable()) worker_.join();
    return true;
}
