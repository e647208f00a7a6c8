// The desktop's string table: every text the logic shows or hands to a
// window, by its number. Numbers 3500 + n are the store's error texts
// (DIRErrorText of code n); the numbers are fixed, windows and tests name
// texts by them.
#pragma once

#include <initializer_list>
#include <string>

// The text of string `id`; empty when the table has none.
std::string USRString(long id);

// USRString(id) with each "%s" replaced by the next of `args`, in order.
std::string USRFormat(long id, std::initializer_list<std::string> args);

// The text shown for a failed operation's error code. Codes below 33 are the
// operating system's (errno) and get string 5013 and the system's text;
// others are the store's (string 3500 + code); a code the table lacks is
// string 5000 with the number. `brief` is the one-line form the publish
// window shows per recipient; `context` (e.g. an object's name) follows the
// text on a line of its own.
std::string USRErrorText(long code, bool brief = false, const std::string& context = {});

// String numbers the logic uses by name.
enum USRStringId : long {
    USR_STR_OLE_FAILED = 100,
    USR_STR_NAME_REQUIRED = 134,
    USR_STR_BUSINESS_CARD = 135,
    USR_STR_PUBLISH_CANCEL = 152,
    USR_STR_PUBLISH = 153,
    USR_STR_RECIPIENT = 154,
    USR_STR_LIST_GROUP_MEMBER = 155,
    USR_STR_STATUS = 156,
    USR_STR_SENT = 157,
    USR_STR_PUBLISHING = 158,
    USR_STR_DONE = 159,
    USR_STR_SHARE_DIR_UNREADABLE = 195,
    USR_STR_OFFER_COPY = 196,
    USR_STR_STILL_LOCAL = 197,
    USR_STR_ERROR_BASE = 3500,
    USR_STR_SYSTEM_ERROR = 5000,
    USR_STR_FOLDER_EXISTS = 5001,
    USR_STR_LOCKED_DELETE = 5005,
    USR_STR_LOCKED_PUBLISH = 5006,
    USR_STR_HOST_ERROR = 5013,
    USR_STR_DELETE_REMAINING = 5020,
    USR_STR_QORDA_ERROR = 5021,
    USR_STR_ITEM_GONE = 5022,
    USR_STR_APP_TITLE = 57344,
};
