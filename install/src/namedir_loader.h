// Loading the directory object store at run time.
//
// The store's file name and folders come from the machine's registry file;
// the store is opened by its full path (so that no search path and no
// working directory of the host process is changed) and its ten plain entry
// points are resolved by name.
#pragma once

#include "namedir_flat.h"

namespace deskinstall {

// The registry keys, as the registry file's sections spell them. Both hold
// a value "Path".
inline constexpr char kStoreKey[] =
    "SOFTWARE\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright";
inline constexpr char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\namedir.DLL";
inline constexpr char kPathValue[] = "Path";

struct NamedirCalls {
    DIRLoadDirectoryFn loadDirectory;
    DIRUnloadDirectoryFn unloadDirectory;
    DIRcreateActionNodeFn createActionNode;
    DIRdestroyNodeFn destroyNode;
    DIRaddActionToLibraryFn addActionToLibrary;
    DIRremoveActionFromLibraryFn removeActionFromLibrary;
    DIRgetActionLibraryFn getActionLibrary;
    DIRRemoveActionFn removeAction;
    DIRGetInstalledActionCountFn getInstalledActionCount;
    DIRGetLastQordaErrorFn getLastQordaError;
};

// The store's entry points, loading it when it is not loaded yet; null when
// it cannot be loaded (already reported). The store stays loaded until the
// process ends.
const NamedirCalls* namedir();

} // namespace deskinstall
