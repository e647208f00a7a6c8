// Between the actions windows and the logic: an action's values from its
// node, the checks a definition passes before it is stored (name, program,
// the shared-area questions), and the writes, all through USRActions and
// the action nodes.
#pragma once

#include "actionfields.h"
#include "actions/usractions.h"

class USRPrompter;

namespace desk::sheets {

ActionValues actionValues(const USRActionNode& action);
USRActions::Definition actionDefinition(const ActionValues& values);

// The checks of a definition; messages and questions go to `prompter`.
// `values` gets its parameters in stored form.
enum class ActionCheck { Ok, NoName, NoProgram, Refused };
ActionCheck checkAction(USRActions& actions, USRPrompter& prompter, ActionValues& values);

// Writes `values` into `action` (a record changed meanwhile is merged).
bool saveAction(USRActionNode& action, const ActionValues& values, long& error);

} // namespace desk::sheets
