// The store's error codes: every store operation that fails reports one of
// these through its trailing `long& error` argument. The numbers are part of
// the desktop's string table (text of code n = string 3500 + n) and must not
// change. DIRErrorText is the one table of their texts.
#pragma once

#include "namedir/export.h"

enum DIRError : long {
    DIR_OK = 0,
    // Raised by the desktop program.
    DIR_ALREADY_EXISTS = 33,
    DIR_DESKTOP_FOLDER_EXISTS = 34,
    DIR_COLLECTION_EMPTY = 35,
    DIR_OBJECT_MISSING = 36,
    DIR_ADDRESS_NOT_FOUND = 37,
    // Raised by the store (38-41, 52, 101-129) and the desktop.
    DIR_NO_MEMORY = 38,
    DIR_INVALID_KEY = 39,
    DIR_KEY_NOT_FOUND = 40,
    DIR_ACCESS_DENIED = 41,
    DIR_NO_DATA = 42,
    DIR_NO_CREATOR = 43,
    DIR_INVALID_HANDLE = 44,
    DIR_NO_DATA_FOUND = 45,
    DIR_INCORRECT_SCOPE = 46,
    DIR_BRIEF_TOO_LONG = 47,
    DIR_DESCRIPTION_TOO_LONG = 48,
    DIR_CREATOR_INVALID = 49,
    DIR_NOT_SUPPORTED = 50,
    DIR_ALLOC_FAILED = 51,
    DIR_NAME_INVALID = 52,
    DIR_PLEASE_LOGIN = 53,
    DIR_NOT_A_USER = 54,
    DIR_ICON_MISSING = 55,
    DIR_FOLDER_INTO_ITSELF = 56,
    DIR_COPY_SOURCE = 57,
    DIR_COPY_DEST_EXISTS = 58,
    DIR_COPY_DEST_CREATE = 59,
    DIR_COPY_FAILED = 60,
    DIR_COPY_CANCELLED = 61,
    DIR_DESKTOP_UNAVAILABLE = 62,
    DIR_STRING_TOO_LONG = 101,
    DIR_UNICODE_CONVERSION = 102,
    DIR_BYTES_TRUNCATED = 103,
    DIR_ADDRESS_UNSET = 104,
    DIR_ATTR_READ = 105,
    DIR_ATTR_WRITE = 106,
    DIR_DIRECTORY_ACCESS = 107,
    DIR_INVALID_CLASS = 108,
    DIR_NAME_UNRESOLVED = 109,
    DIR_NOT_IMPLEMENTED = 110,
    DIR_FREELIST_INVALID = 111,
    DIR_FREELIST_EMPTY = 112,
    DIR_ALREADY_FREE = 113,
    DIR_BUFFER_UNSET = 114,
    DIR_LIST_EMPTY = 115,
    DIR_LIST_END = 116,
    DIR_ATTR_MISSING = 117,
    DIR_ITEM_CHANGED = 118,
    DIR_PARENT_CHANGED = 119,
    DIR_DESKTOP_EXISTS = 120,
    DIR_WRONG_TYPE = 121,
    DIR_CARD_ADDRESS = 122,
    DIR_USER_NAME_UNSET = 123,
    DIR_NOBODY_LOGGED_IN = 124,
    DIR_ATTR_DELETE = 125,
    DIR_DEFAULT_FOLDER_MISSING = 126,
    DIR_BYTE_FIELDS_UNSET = 127,
    DIR_NOT_DESKTOP_USER = 128,
    DIR_INVALID_TYPE = 129,
    DIR_DEFAULT_FOLDER_UNREADABLE = 130,
    DIR_NOT_A_FILE = 131,
    DIR_ERROR_END = 132,
};

// The text of a store error code; nullptr for a number the table does not
// hold.
NAMEDIR_EXPORT const char* DIRErrorText(long code);
