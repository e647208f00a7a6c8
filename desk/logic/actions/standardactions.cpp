#include "actions/standardactions.h"

// The records are shared between workstations, so the command lines are the
// ones every desktop of the installation knows; an administrator points
// them at the programs of the site by editing the actions.
const USRStandardAction kUSRStandardActions[] = {
    {"Windows notepad editor", "View or edit any text file using this action",
     "C:\\Windows\\NotePad.Exe \"%%\""},
    {"Windows WordPad editor", "View or edit any document file using this action",
     "C:\\PROGRA~1\\ACCESS~1\\WORDPAD.EXE \"%%\""},
};
const size_t kUSRStandardActionCount = sizeof kUSRStandardActions / sizeof kUSRStandardActions[0];
