// The node kinds of the desktop: one row per object type. Each kind's maker
// is declared in the kind's own header.
#include "nodes/usrnodefactory.h"

#include <namedir/records.h>

#include "folders/usrfoldernode.h"

const USRNodeKind kUSRNodeKinds[] = {
    {DIR_TYPE_FOLDER, USRMakeFolderNode},
};
const size_t kUSRNodeKindCount = sizeof kUSRNodeKinds / sizeof kUSRNodeKinds[0];
