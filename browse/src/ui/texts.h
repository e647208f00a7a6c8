// The browser's texts for people, in one table.
#pragma once

namespace browse::texts {

inline constexpr char kWindowTitle[] = "Namewright Browser";
inline constexpr char kAutomationTitle[] = "Tnamebrowse: Browse Namewright";
inline constexpr char kSearchFor[] = "Search for:";
inline constexpr char kLookIn[] = "Look in:";
inline constexpr char kOk[] = "&OK";
inline constexpr char kCancel[] = "&Cancel";
inline constexpr char kRefine[] = "&Refine search";
inline constexpr char kViewAttributes[] = "&View attributes";
inline constexpr char kFindByAttribute[] = "&Find by attribute";
inline constexpr char kHelp[] = "&Help";
// The rows of "Look in:"; a row's number is its kind code.
inline constexpr const char* kKinds[] = {"Users",         "Lists",        "Print services",
                                         "File services", "All services", "Nicknames"};
inline constexpr char kConnectedTo[] = "Currently connected to NMDA on server: %1";
inline constexpr char kCannotConnect[] =
    "Unable to connect to a NMDA service.  Please contact your network administrator.";
inline constexpr char kConnectError[] = "Error %1 while attempting to communicate with the NMDA "
                                        "service..  Please contact your network administrator.";
inline constexpr char kQueryError[] = "Error %1 while asking the NMDA service for names.";
inline constexpr char kNoNamesTitle[] = "No names match criteria";
inline constexpr char kTooRestrictive[] = "The subset specified was too restrictive, please "
                                          "provide a subset criteria that is less restrictive.";
inline constexpr char kRefineTitle[] = "Refine search";
inline constexpr char kNamePattern[] = "&Name pattern:";
inline constexpr char kDescriptionPattern[] = "&Description pattern:";
inline constexpr char kTooManyTitle[] = "Too many";
inline constexpr char kTooMany[] = "No more than %1 attribute search criteria can be specified.";
inline constexpr char kScan[] = "&Scan";
inline constexpr char kWithData[] = "Attribute records containing data";
inline constexpr char kScanErrorTitle[] = "Error scanning for attributes";
inline constexpr char kScanError[] =
    "Unable to scan for attributes with data due to the following error: %1";
inline constexpr char kAvdOpenError[] =
    "The Namewright Attribute browser was unable to open the attribute definition file (%1), due "
    "to the following error: %2  Please contact your system administrator";
inline constexpr char kAvdHistory[] =
    "The attribute definition file %1 was last updated by %2 at %3.";
inline constexpr char kAvdTimeFormat[] = "%H:%M:%S on %A, %B %d, %Y %Z";
inline constexpr char kAttrNoExist[] = "NMDA_ATTR_STAT_NOEXIST";
inline constexpr char kAttrTrunc[] = "NMDA_ATTR_STAT_TRUNC";
inline constexpr char kConfigureTitle[] = "Configure Browser";
inline constexpr char kSelection[] = "Selection";
inline constexpr char kSingle[] = "Single";
inline constexpr char kMultiple[] = "Multiple";
inline constexpr char kBrowserTitleLabel[] = "Browser Window Title:";
inline constexpr char kAvdPathLabel[] = "AVD File Path:";
inline constexpr char kHelpText[] =
    "Type the start of a name in \"Search for:\" to move the list there. Page Up, Page Down, "
    "Home, End and the arrow keys move through the answer; \"Look in:\" chooses the kind of "
    "names. \"Refine search\" narrows the answer by name and description patterns; \"Find by "
    "attribute\" by the values of up to five attributes.";

} // namespace browse::texts
