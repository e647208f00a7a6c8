// Desktop object records: the in-memory form in which callers of the store
// see every desktop object. Plain data with public fields; a record owns the
// addresses it holds (its own and those of its list entries) and copies them
// when it is copied. Texts are UTF-8; integers are `long`, stored as 32 bits;
// times are DIRTime. How each field is stored: namedir/layout.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "namedir/address.h"
#include "namedir/export.h"

// Object type codes (DIRBaseInfo::objectType and the type of list entries).
// Single bits, so that a set of types fits one mask (DIRAction::capabilities).
enum DIRObjectType : long {
    DIR_TYPE_NONE = 0,     // no particular type; a missing object reads as 0
    DIR_TYPE_FOLDER = 1,   // DIRFolder
    DIR_TYPE_DOCUMENT = 2, // DIRDocItem
    DIR_TYPE_PERSON = 4,   // a business card reference; list entries only
    DIR_TYPE_WEB = 8,      // DIRWebItem
    DIR_TYPE_GENERIC = 16, // DIRGenericItem
    DIR_TYPE_ROOT = 32,    // the user's root object
    DIR_TYPE_ACTION = 64,  // DIRAction
    DIR_TYPE_FREE = 128,   // never live: marks a free attribute number
};

// Seven words, in the stored order.
struct DIRBaseInfo {
    long objectType = 0;
    long version = 0; // 0 is stored as 1
    DIRTime created = 0;
    DIRTime modified = 0;
    long shared = 0; // 0/1: held by the login group rather than the user
    long userFlag = 0;
    long userValue = 0;
};

struct DIRAccessRight {
    long rights = 0; // 1 reader, 2 contributor, 3 moderator
    std::string name;
};

struct DIRParentInfo {
    DIRAddressPtr address;
    long flags = 0;
};

// One entry of a reference list (folder contents, action library, toolbar).
struct DIRRefInfo {
    DIRAddressPtr address;
    std::string name;
    long objectType = 0;
    long refValue = 0; // action lists only (the action's capabilities)
    long shared = 0;
    DIRTime time = 0; // creation time of the referenced object
    std::string refText;
};

// The argument of the "add" operations.
struct stNewItemRefEntry : DIRRefInfo {
    DIRTime modified = 0; // the referenced object's modification time
};

// The parent passed to addNodeToFolder.
struct stNewParentListEntry : DIRParentInfo {
    DIRTime modified = 0; // the parent folder's modification time
};

struct DIRSubscriber {
    long state = 3; // always 3 after a read or write
    std::string name;
};

class NAMEDIR_EXPORT DIRCommonInfo {
  public:
    DIRCommonInfo() = default;
    DIRCommonInfo(const DIRCommonInfo&) = default;
    DIRCommonInfo& operator=(const DIRCommonInfo&) = default;
    virtual ~DIRCommonInfo();

    DIRAddressPtr address; // null until read or created
    DIRBaseInfo base;
    std::string creator;     // stored limit 200 bytes of UTF-16
    std::string name;        // 100
    std::string extraText;   // 200
    std::string longText;    // no limit; " " when the object was missing
    std::string description; // 640
    std::vector<DIRAccessRight> accessRights;
    std::vector<DIRParentInfo> parents;
};

class NAMEDIR_EXPORT DIRFolder : public DIRCommonInfo {
  public:
    ~DIRFolder() override;
    std::vector<DIRSubscriber> subscribers;
    std::vector<DIRRefInfo> contents;
};

class NAMEDIR_EXPORT DIRItem : public DIRCommonInfo {
  public:
    ~DIRItem() override;
    std::vector<DIRRefInfo> references; // neither read nor written by the store
};

class NAMEDIR_EXPORT DIRWebItem : public DIRItem {
  public:
    ~DIRWebItem() override;
    std::string url; // 1000
};

class NAMEDIR_EXPORT DIRDocItem : public DIRItem {
  public:
    ~DIRDocItem() override;
    std::string documentText1; // 1000
    std::string documentText2; // 1000
    std::string documentText3; // 194
};

class NAMEDIR_EXPORT DIRGenericItem : public DIRItem {
  public:
    ~DIRGenericItem() override;
    std::vector<uint8_t> data; // not stored
};

class NAMEDIR_EXPORT DIRAction : public DIRCommonInfo {
  public:
    ~DIRAction() override;
    long capabilities = 0; // mask of object types the action applies to
    long reserved = 0;     // stored 0/1
    long initial = 0;      // stored 0/1
    long showMode = 0;
    long iconIndex = 0;
    std::string commandLine;    // 1000
    std::string startDirectory; // 1000
};

// Not an object record: the card that makes a user a desktop user.
class NAMEDIR_EXPORT DIRUserBusinessCard {
  public:
    virtual ~DIRUserBusinessCard();
    // Name, job title, company, e-mail, phone, fax, office location,
    // address 1, address 2, city, state, country, postal code.
    std::string cardText1, cardText2, cardText3, cardText4, cardText5, cardText6, cardText7,
        cardText8, cardText9, cardText10, cardText11, cardText12, cardText13;
    std::vector<uint8_t> logo;

    // The thirteen texts in order, for code that walks them.
    static constexpr int kTextCount = 13;
    static constexpr std::string DIRUserBusinessCard::*kTexts[kTextCount] = {
        &DIRUserBusinessCard::cardText1,  &DIRUserBusinessCard::cardText2,
        &DIRUserBusinessCard::cardText3,  &DIRUserBusinessCard::cardText4,
        &DIRUserBusinessCard::cardText5,  &DIRUserBusinessCard::cardText6,
        &DIRUserBusinessCard::cardText7,  &DIRUserBusinessCard::cardText8,
        &DIRUserBusinessCard::cardText9,  &DIRUserBusinessCard::cardText10,
        &DIRUserBusinessCard::cardText11, &DIRUserBusinessCard::cardText12,
        &DIRUserBusinessCard::cardText13};
};

class NAMEDIR_EXPORT DIRUserPreferences {
  public:
    virtual ~DIRUserPreferences();
    long flags = 0;
    void* data = nullptr; // not owned
    std::string text1;
    std::string text2;
};

// What getPreferencesInfo and setPreferencesInfo exchange.
struct DIRPreferencesInfo {
    long value = 0;
    std::string text; // 1000
};
