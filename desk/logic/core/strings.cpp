#include "core/strings.h"

#include <cstring>

#include <namedir/errors.h>
#include <namedir/qrdapi_wrapper.h>

namespace {

struct Row {
    long id;
    const char* text;
};

// The desktop's own strings. The store's texts (3500 + code) come from the
// store's one table of them (DIRErrorText).
constexpr Row kStrings[] = {
    {100, "OLE initialization failed.  Make sure that the OLE libraries are the correct "
          "version."},
    {108, "New Folder"},
    {109, "Folder Properties"},
    {110, "Member"},
    {112, "Moderator"},
    {115, "My Desktop"},
    {116, "My Inbox"},
    {125, "Font"},
    {126, "Font Size"},
    {131, "Times New Roman"},
    {134, "Name entry must be completed to proceed."},
    {135, "Business Card"},
    {137, "Name"},
    {138, "Type"},
    {140, "Description"},
    {141, "Document"},
    {142, "Web"},
    {143, "Folder"},
    {144, "People"},
    {145, "Generic"},
    {146, "Contents of "},
    {147, "Description of "},
    {148, "My Inbox"},
    {149, "Failed to open Clipboard!"},
    {150, "My Desktop"},
    {151, "Failed to get Clipboard data!"},
    {152, "&Cancel"},
    {153, "&Publish"},
    {154, "Recipient"},
    {155, "List/Group Member"},
    {156, "Status"},
    {157, "Sent"},
    {158, "Publishing..."},
    {159, "Done"},
    {160, "Select Document File"},
    {161, "OK"},
    {163, "Actions"},
    {164, "Getting Action Info"},
    {167, "Are you sure you want to delete this action?"},
    {168, "\"Standard Action\""},
    {169, "Normal"},
    {170, "Application Default"},
    {171, "Hidden"},
    {172, "Minimized"},
    {173, "Maximized"},
    {174, "Restore"},
    {175, "Show Normal"},
    {176, "Show Minimized"},
    {177, "Show maximized"},
    {178, "Show minimized not active"},
    {179, "Current state"},
    {180, "Not active"},
    {181, "Do you really want to remove %s as moderator?"},
    {182, "Deleting Action..."},
    {183, "Select Directory"},
    {184, "Create Shared Action"},
    {185, "\"%%\""},
    {186, "This action may be used by others.\nDo you really want to delete it?"},
    {187, "Do you want to share this action with others?"},
    {188, " Removing from toolbar"},
    {190, "Contributor"},
    {191, "Reader"},
    {192, "File %d of %d"},
    {193, "Copying %s to %s"},
    {194, "%d%% complete"},
    {195, "Unable to read default share directory."},
    {196, "The file \"%s\" is on a local drive. The file must be saved to a shared directory in "
          "order to be linked to a shared Namewright Desktop item. Do you want to save it to a "
          "shared directory?"},
    {197, "The destination \"%s\" is still on a local drive. The file must be saved to a shared "
          "directory in order to be linked to a shared Namewright Desktop item. Do you want to "
          "try again?"},
    {198, "Shared"},
    {199, "Personal"},
    {2999, "Action Item Max - Only 2000 actions allowed!"},
    {5000, "System  Error  "},
    {5001, "Folder already exists."},
    {5002, "At least one moderator is required."},
    {5004, "A name is required."},
    {5005, "Object is locked, cannot be deleted:"},
    {5006, "Folder is locked, cannot publish:"},
    {5007, "Building deletion list ...."},
    {5008, "Finished deleting."},
    {5010, "Unrecognized URL form.  Do you wish to save Web Item anyways?"},
    {5011, "A filename is required."},
    {5012, "Action not found, another user may have deleted the action."},
    {5013, "This following error was returned by the host operating system:"},
    {5016, "Invalid filename specified."},
    {5018, "Start directory must be shared for shared actions."},
    {5019, "Action file is not shared.\nDo you wish to continue?"},
    {5020, "An error occured attempting to delete %s. \nDo you want to attempt to delete the "
           "remaining items?"},
    {5021, "Qorda Error: "},
    {5022, "This item no longer exists.  It may have been deleted by another member."},
    {5023, "\nThere maybe a problem accessing the action."},
    {32835, "Actions Toolbar"},
    {32843, "Desktop Toolbar"},
    {57344, "Namewright Desktop"},
};

} // namespace

std::string USRString(long id) {
    if (id >= USR_STR_ERROR_BASE && id < long(USR_STR_ERROR_BASE) + long(DIR_ERROR_END)) {
        const char* t = DIRErrorText(id - USR_STR_ERROR_BASE);
        if (t) return t;
    }
    for (const Row& r : kStrings)
        if (r.id == id) return r.text;
    return {};
}

std::string USRFormat(long id, std::initializer_list<std::string> args) {
    std::string in = USRString(id), out;
    auto next = args.begin();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 1 < in.size() && in[i + 1] == 's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += in[i];
        }
    }
    return out;
}

std::string USRErrorText(long code, bool brief, const std::string& context) {
    std::string text;
    if (code > 0 && code < 33) {
        text = USRString(USR_STR_HOST_ERROR) + (brief ? " " : "\n\n") + std::strerror(int(code));
    } else {
        long id = USR_STR_ERROR_BASE + code;
        std::string known = (code >= 0 && id < 3632) ? USRString(id) : std::string();
        if (id == 3630 && known.empty()) known = USRString(3562);
        bool appendClient = known.empty() || id >= 3600;
        text =
            known.empty() ? USRString(USR_STR_SYSTEM_ERROR) + " : " + std::to_string(code) : known;
        if (appendClient) {
            // The client library's last error of this thread says why.
            QRDSTATUS last = CQrdApi::getLastError();
            if (last != 0)
                text += std::string(brief ? ": " : "\n\n\n") + USRString(USR_STR_QORDA_ERROR) +
                        std::to_string(last);
        }
    }
    if (!context.empty()) text += "\n" + context;
    return text;
}
