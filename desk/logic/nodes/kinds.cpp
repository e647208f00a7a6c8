// The node kinds of the desktop: one row per object type. Each kind's maker
// is declared in the kind's own header.
#include "nodes/usrnodefactory.h"

#include <namedir/records.h>

const USRNodeKind kUSRNodeKinds[] = {
    {DIR_TYPE_NONE, nullptr}, // placeholder: a type without a row is a plain USRNode
};
const size_t kUSRNodeKindCount = sizeof kUSRNodeKinds / sizeof kUSRNodeKinds[0];
