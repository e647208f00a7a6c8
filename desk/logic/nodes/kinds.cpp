// The node kinds of the desktop: one row per object type. Each kind's maker
// is declared in the kind's own header.
#include "nodes/usrnodefactory.h"

#include <namedir/records.h>

#include "actions/usractionnode.h"
#include "folders/usrfoldernode.h"
#include "items/usrdocnode.h"
#include "items/usrwebnode.h"
#include "people/usrpeoplenode.h"

const USRNodeKind kUSRNodeKinds[] = {
    {DIR_TYPE_FOLDER, USRMakeFolderNode}, // folders/
    {DIR_TYPE_DOCUMENT, USRMakeDocNode},  // items/
    {DIR_TYPE_PERSON, USRMakePeopleNode}, // people/
    {DIR_TYPE_WEB, USRMakeWebNode},       // items/
    {DIR_TYPE_ACTION, USRMakeActionNode}, // actions/
};
const size_t kUSRNodeKindCount = sizeof kUSRNodeKinds / sizeof kUSRNodeKinds[0];
