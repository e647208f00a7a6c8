#include "actions/usrlaunchactivation.h"

#include <namedir/errors.h>

#include "actions/launch.h"
#include "actions/usractionnode.h"

bool USRLaunchActivation::openDefault(const std::string& path, long& error) {
    error = usraction::openWithDefaultProgram(path);
    return error == 0;
}

bool USRLaunchActivation::runAction(USRNode& action, USRNode* item, long& error) {
    auto* a = dynamic_cast<USRActionNode*>(&action);
    if (!a) {
        error = DIR_NOT_SUPPORTED;
        return false;
    }
    return a->run(item, error);
}
