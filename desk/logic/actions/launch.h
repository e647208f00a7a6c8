// Starting an action's program, or a file with its default program.
//
// A command line is expanded (commandline.h), split into program and
// arguments, and the program found: an executable starts directly with its
// start directory and the action's show mode; any other file is handed to
// the desktop's opener (xdg-open) with show mode normal. Network paths of
// mounted file services are turned into their local form first, the item's
// included. Codes returned are 0 or a system code below 33.
#pragma once

#include <string>

#include "launcher.h"

namespace usraction {

// The desktop's opener for files and URLs (the XDG default applications).
constexpr const char* kOpener = "xdg-open";

struct LaunchInput {
    std::string commandLine;
    std::string item; // what "%%" stands for
    std::string startDirectory;
    long showMode = kShowNormal;
    std::string verb = "open";
};

long launch(const LaunchInput& input);

// An item with no action: a network path through the program registered for
// its type (with the path as its argument), any other path as the command
// line itself.
long openWithDefaultProgram(const std::string& path);

// Opens a URL or file with the desktop's opener.
long openWithOpener(const std::string& target);

} // namespace usraction
