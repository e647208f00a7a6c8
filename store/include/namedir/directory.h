// DIRDirectory: the store's facade, through which the desktop reads and
// writes its objects. Every operation returns true on success and otherwise
// false with a store error code (namedir/errors.h) in its last argument.
#pragma once

#include <string>

#include "namedir/address.h"
#include "namedir/attrstream.h"
#include "namedir/export.h"
#include "namedir/records.h"

class NAMEDIR_EXPORT DIRDirectory {
  public:
    // Attributes go through `store` (the client API's by default).
    explicit DIRDirectory(namedir::AttrStore& store = namedir::clientAttrStore());
    virtual ~DIRDirectory();
    DIRDirectory(const DIRDirectory&) = delete;
    DIRDirectory& operator=(const DIRDirectory&) = delete;

    // Clears the seven base words.
    void initBaseInfo(DIRBaseInfo& base);
    // Clears the base words and empties the five texts that follow them.
    void initBaseInfo(DIRCommonInfo& record);

    // Turns a unique key back into an address (owned by the caller) and
    // reads the object's type from its main record. A key whose tail is not
    // "<category:number:hextime>" is 39; a name the directory cannot resolve
    // 109; a missing object reads as type 0.
    bool getDirectoryAddress(const std::string& key, DIRAddressPtr& address, long& objectType,
                             long& error);

  protected:
    namedir::AttrStore& store_;
};
