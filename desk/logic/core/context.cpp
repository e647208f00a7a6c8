#include "core/context.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/membership.h"
#include "core/prompter.h"
#include "nodes/usrnodefactory.h"
#include "nodes/usrnoderegistry.h"

USRContext::USRContext(DIRDirectory& dir)
    : dir_(dir), folders_(std::make_unique<USRNodeRegistry>()),
      newFolders_(std::make_unique<USRNodeRegistry>()),
      people_(std::make_unique<USRNodeRegistry>()), factory_(std::make_unique<USRNodeFactory>()),
      silent_(std::make_unique<USRSilentPrompter>()), prompter_(silent_.get()),
      membership_(&USRMembership::client()) {}

USRContext::~USRContext() {
    emptyRegistries();
}

USRContext& USRContext::process() {
    static DIRDirectory dir;
    static USRContext context(dir);
    return context;
}

void USRContext::setMembership(USRMembership* membership) {
    membership_ = membership ? membership : &USRMembership::client();
}

void USRContext::setPrompter(USRPrompter* prompter) {
    prompter_ = prompter ? prompter : silent_.get();
}

bool USRContext::loginName(std::string& name, long& error) {
    {
        std::lock_guard<std::mutex> hold(loginLock_);
        if (!login_.empty()) {
            name = login_;
            return true;
        }
    }
    std::string asked;
    long e = 0;
    // Nobody logged in (124) and an empty name are both "Please Login".
    if (!dir_.getLoginUserName(asked, e)) {
        error = e == DIR_NOBODY_LOGGED_IN ? DIR_PLEASE_LOGIN : e;
        return false;
    }
    if (asked.empty()) {
        error = DIR_PLEASE_LOGIN;
        return false;
    }
    std::lock_guard<std::mutex> hold(loginLock_);
    login_ = asked;
    name = asked;
    return true;
}

void USRContext::emptyRegistries() {
    long ignored = 0;
    newFolders_->removeAll(ignored);
    folders_->removeAll(ignored);
    people_->removeAll(ignored);
}
