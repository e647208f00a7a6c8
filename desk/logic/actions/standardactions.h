// The two actions created when the user installs the standard actions and
// the library holds none marked for the toolbar.
#pragma once

#include <cstddef>

struct USRStandardAction {
    const char* name;
    const char* description;
    const char* commandLine;
};

extern const USRStandardAction kUSRStandardActions[];
extern const size_t kUSRStandardActionCount;
