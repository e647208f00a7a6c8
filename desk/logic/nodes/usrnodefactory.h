// USRNodeFactory: makes the node of a record's object type, through one
// table (nodes/kinds.cpp) that each kind adds its row to. A type without a
// row gets a plain USRNode, which still reads and writes its record whole.
// Also the one place where records of each type are made and copied.
#pragma once

#include <map>
#include <memory>

#include <namedir/records.h>

class USRContext;
class USRNode;

using USRNodeMaker = std::unique_ptr<USRNode> (*)(USRContext& context);

struct USRNodeKind {
    long objectType;
    USRNodeMaker make;
};

// The kinds of the desktop (nodes/kinds.cpp).
extern const USRNodeKind kUSRNodeKinds[];
extern const size_t kUSRNodeKindCount;

class USRNodeFactory {
  public:
    USRNodeFactory(); // the kinds of the table
    // Replaces or adds the maker of `objectType` (tests use it).
    void set(long objectType, USRNodeMaker make);
    std::unique_ptr<USRNode> make(USRContext& context, long objectType) const;

  private:
    std::map<long, USRNodeMaker> makers_;
};

// A new empty record of the class of `objectType` (DIRCommonInfo for types
// without a class of their own), with its type set.
std::unique_ptr<DIRCommonInfo> USRNewRecord(long objectType);
// A copy of `record` of the same class.
std::unique_ptr<DIRCommonInfo> USRCloneRecord(const DIRCommonInfo& record);
