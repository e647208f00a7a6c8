#include "people/usrpreferences.h"

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/context.h"
#include "core/prompter.h"

void USRPreferences::setUpdateMinutes(long minutes) {
    // An interval below one minute would keep the inbox worker busy.
    minutes_ = minutes < 1 ? 1 : minutes;
}

bool USRPreferences::read(long& error) {
    DIRPreferencesInfo prefs;
    long e = 0;
    if (!context_.dir().getPreferencesInfo(prefs, e)) {
        if (e != DIR_ATTR_MISSING) {
            error = e;
            return false;
        }
        prefs.value = kDefaultMinutes;
    }
    setUpdateMinutes(prefs.value);
    shareDir_ = prefs.text;
    error = 0;
    return true;
}

bool USRPreferences::write(long& error) {
    DIRPreferencesInfo prefs;
    prefs.value = minutes_;
    prefs.text = shareDir_;
    return context_.dir().setPreferencesInfo(prefs, error);
}

bool USRPreferences::runDialog() {
    USRPrompter& prompter = context_.prompter();
    long e = 0;
    if (!read(e)) {
        prompter.showError(e);
        return false;
    }
    QVariantMap v{{"interval", int(minutes_)}, {"shareDir", QString::fromStdString(shareDir_)}};
    if (prompter.runDialog(USRDialog::Preferences, v) != USR_REPLY_OK) return false;
    long minutes = v["interval"].toInt();
    std::string dir = v["shareDir"].toString().toStdString();
    if (minutes == minutes_ && dir == shareDir_) return true;
    setUpdateMinutes(minutes);
    shareDir_ = dir;
    if (!write(e)) prompter.showError(e);
    return true;
}
