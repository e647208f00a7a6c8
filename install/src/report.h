// What the installer tells people, and how it reaches them: every text the
// installer shows is here, and goes through the caller's reporter
// (deskinstall.h).
#pragma once

#include <string>

#include "deskinstall.h"

namespace deskinstall {

// Captions.
inline constexpr char kCaptionError[] = "Error!";
inline constexpr char kCaptionInstalled[] = "Action already installed!";
inline constexpr char kCaptionListing[] = "Error listing actions";

// Texts (printf formats; their arguments in the comment).
inline constexpr char kAskReinstall[] = // action name
    "The action \"%s\"  is already installed and registered, do you wish to reinstall the action?";
inline constexpr char kCannotAdd[] = // action name, store error, client status
    "Unable to add action \"%s\" to the Namewright Desktop action library.  Error = %u, QORDA "
    "error %u.";
inline constexpr char kNoRegistryKey[] = // key, value
    "Unable to open registry key \\%s%s.  This may indicate that Namewright Desktop is not "
    "installed or your registry is corrupt.  Please contact your system administrator.";
inline constexpr char kCannotLoad[] = "Unable to load Namewright Desktop, operation incomplete.";
inline constexpr char kCannotList[] = // client status
    "Unable to obtain a list of installed actions, error = %u.";
inline constexpr char kCannotRemove[] = // store error, client status
    "The following error occurred while attempting to remove an action: %d, QORDA Error: %d.";
inline constexpr char kCannotCount[] = // store error, client status
    "The following error occurred while attempting get the installed action count: %d, QORDA "
    "Error: %d.";
inline constexpr char kCannotRead[] = // file name, reason
    "Unable to read the action definition file \"%s\": %s.";
inline constexpr char kNoName[] = "An action needs a name; nothing was added.";

// printf into a string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Through the reporter in place (the default: standard error, and No).
void reportError(const char* caption, const std::string& text, const std::string& detail = "");
bool ask(const char* caption, const std::string& text);

void setReporter(const QrdNmdReporter* reporter);

} // namespace deskinstall
