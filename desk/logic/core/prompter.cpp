#include "core/prompter.h"

#include <namedir/qrdapi_wrapper.h>

#include "core/strings.h"

USRPrompter::~USRPrompter() = default;

void USRPrompter::showError(long code, const std::string& context) {
    showMessage(USRErrorText(code, false, context), USRIcon::Exclamation);
}

bool USRSilentPrompter::askYesNo(const std::string& text, USRIcon) {
    CQrdApi::logMessage("question answered No: " + text);
    return false;
}

void USRSilentPrompter::showMessage(const std::string& text, USRIcon) {
    CQrdApi::logMessage(text);
}

USRReply USRSilentPrompter::runDialog(USRDialog, QVariantMap&) {
    return USR_REPLY_CANCEL;
}
