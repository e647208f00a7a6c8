// The workstation login: asks the Namewright service to check a password and
// keeps the user's name and nonce in the workstation's global variables.
//
// Names and passwords are typed in UTF-8; the client API and the service
// speak Latin-1. The conversion happens here, in both directions, so that a
// name such as "bøb@Sales@Demo" logs in and is shown as typed.
#pragma once

#include <string>

#include "qrdapi.h"

namespace qrdlogin {

struct LoginResult {
    QRDSTATUS status = QRD_OK;
    std::string canonicalName; // the service's spelling of the user's name (UTF-8)
    std::string problem;       // set when the name or password was refused before sending
};

// Finds the Namewright service, checks the password (login procedure) and on
// success stores variables 4 (user name), 15 (nonce), 1 (the service's port)
// and 34 (its revision) so that sessions go straight to that server.
LoginResult login(const std::string& name, const std::string& password);

struct LogoutResult {
    QRDSTATUS status = QRD_OK;  // of clearing the workstation's login
    QRDSTATUS revoked = QRD_OK; // of ending the nonce at the service (1025: it had ended)
};

// Ends the login's nonce at the service that issued it, then clears the
// user name, the nonce and the remembered service. The workstation is
// logged out even when the service cannot be told.
LogoutResult logout();

// The logged-in user's name (UTF-8), or "" when nobody is logged in.
std::string currentUser();

// The text of a status, for messages.
std::string statusText(QRDSTATUS status);

} // namespace qrdlogin
