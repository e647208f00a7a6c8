#include "namedir/errors.h"

#include <cstddef>

namespace {

struct ErrorText {
    long code;
    const char* text;
};

// Also the desktop's string table entries 3500 + code.
constexpr ErrorText kTexts[] = {
    {DIR_OK, "Error Start"},
    {DIR_ALREADY_EXISTS, "This object already exists."},
    {DIR_DESKTOP_FOLDER_EXISTS, "The desktop folder already exists."},
    {DIR_COLLECTION_EMPTY, "The collection is empty."},
    {DIR_OBJECT_MISSING, "Object does not exist."},
    {DIR_ADDRESS_NOT_FOUND, "Address was not found."},
    {DIR_NO_MEMORY, "Insufficient memory."},
    {DIR_INVALID_KEY, "Invalid key."},
    {DIR_KEY_NOT_FOUND, "Key not found."},
    {DIR_ACCESS_DENIED, "Access has been denied."},
    {DIR_NO_DATA, "No data available"},
    {DIR_NO_CREATOR, "No creator"},
    {DIR_INVALID_HANDLE, "Internal Error: Invalid Handle"},
    {DIR_NO_DATA_FOUND, "No data found."},
    {DIR_INCORRECT_SCOPE, "Incorrect scope"},
    {DIR_BRIEF_TOO_LONG, "Brief Description length too long."},
    {DIR_DESCRIPTION_TOO_LONG, "Description length too long."},
    {DIR_CREATOR_INVALID, "Creator is not valid."},
    {DIR_NOT_SUPPORTED, "This is not supported."},
    {DIR_ALLOC_FAILED, "Error allocating memory."},
    {DIR_NAME_INVALID, "Name is not valid."},
    {DIR_PLEASE_LOGIN, "Please Login before using."},
    {DIR_NOT_A_USER, "Not a User"},
    {DIR_ICON_MISSING, "The icon for this action could not be located."},
    {DIR_FOLDER_INTO_ITSELF, "Cannot add the specified folder to itself."},
    {DIR_COPY_SOURCE, "Unable to open source file for copy."},
    {DIR_COPY_DEST_EXISTS, "Destination file for copy already exists."},
    {DIR_COPY_DEST_CREATE, "Unable to create destination file for copy."},
    {DIR_COPY_FAILED, "Unable to copy file."},
    {DIR_COPY_CANCELLED, "File copy cancelled."},
    {DIR_DESKTOP_UNAVAILABLE, "Cannot retrieve desktop at this time, please try again later."},
    {DIR_STRING_TOO_LONG, "String is too long"},
    {DIR_UNICODE_CONVERSION, "Unicode conversion error"},
    {DIR_BYTES_TRUNCATED, "The byte stream was too large and has been truncated."},
    {DIR_ADDRESS_UNSET, "The directory address of this item has not been initialized."},
    {DIR_ATTR_READ, "Unable to read a Namewright attribute."},
    {DIR_ATTR_WRITE, "Unable to write a Namewright attribute."},
    {DIR_DIRECTORY_ACCESS, "Unable to access Namewright directory."},
    {DIR_INVALID_CLASS, "Invalid class of Namewright object."},
    {DIR_NAME_UNRESOLVED, "Unable to resolve a Namewright name."},
    {DIR_NOT_IMPLEMENTED, "This function is not yet implemented."},
    {DIR_FREELIST_INVALID, "The attribute free list has an invalid entry."},
    {DIR_FREELIST_EMPTY, "The attribute free list is empty."},
    {DIR_ALREADY_FREE,
     "An attempt was made to add an already free node to the attribute free list."},
    {DIR_BUFFER_UNSET, "An internal buffer was not initialized."},
    {DIR_LIST_EMPTY, "The list is empty."},
    {DIR_LIST_END, "The end of the list has been reached."},
    {DIR_ATTR_MISSING, "The attribute does not exist."},
    {DIR_ITEM_CHANGED, "The item has changed since the last time it was read."},
    {DIR_PARENT_CHANGED, "The parent item has changed since the last time it was read."},
    {DIR_DESKTOP_EXISTS, "The user's desktop has already been created."},
    {DIR_WRONG_TYPE, "The item is not of the expected type."},
    {DIR_CARD_ADDRESS, "Unable to validate user's business card address."},
    {DIR_USER_NAME_UNSET, "The user's name has not been initialized."},
    {DIR_NOBODY_LOGGED_IN, "No user is logged into the network on this workstation."},
    {DIR_ATTR_DELETE, "Unable to delete a Namewright attribute."},
    {DIR_DEFAULT_FOLDER_MISSING, "The user's default folder could not be located."},
    {DIR_BYTE_FIELDS_UNSET, "The internal byte stream fields were not initialized."},
    {DIR_NOT_DESKTOP_USER, "Not a Namewright Desktop user."},
    {DIR_INVALID_TYPE, "The item has an invalid type field value."},
    {DIR_DEFAULT_FOLDER_UNREADABLE, "Unable to retrieve user's default folder."},
    {DIR_NOT_A_FILE, "  is not a file. \nYou cannot add directories to Namewright Desktop."},
    {DIR_ERROR_END, "Max error + 1"},
};

} // namespace

const char* DIRErrorText(long code) {
    for (const ErrorText& e : kTexts)
        if (e.code == code) return e.text;
    return nullptr;
}
