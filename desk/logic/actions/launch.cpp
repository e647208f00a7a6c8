#include "launch.h"

#include <cerrno>
#include <string>

#include "commandline.h"
#include "files/usrfile.h"
#include "programpath.h"

namespace usraction {

namespace {

// Network paths this workstation reaches are used in their local form.
std::string localForm(const std::string& path) {
    if (!USRFile::isNetworkPath(path)) return path;
    std::string local = USRFile::localPath(path);
    return local.empty() ? path : local;
}

// An item comes from a record that other users write. A double quote in it
// would close the quotes around "%%" and let the rest become arguments of
// their own, so it is dropped (network paths and URLs have none).
std::string quotable(std::string item) {
    std::erase(item, '"');
    return item;
}

} // namespace

long launch(const LaunchInput& input) {
    std::string startDirectory = localForm(input.startDirectory);
    std::string line = expandCommandLine(input.commandLine, quotable(localForm(input.item)));
    CommandParts parts = splitCommandLine(line, [&](const std::string& program) {
        return !programFile(program, startDirectory).empty();
    });
    std::string program = programFile(parts.program, startDirectory);
    if (program.empty()) return ENOENT;

    LaunchRequest request;
    request.workingDirectory = startDirectory;
    request.verb = input.verb;
    if (isExecutableFile(program)) {
        request.kind = LaunchRequest::Kind::Direct;
        request.program = program;
        request.arguments = splitParameters(parts.parameters);
        request.showMode = input.showMode;
    } else {
        request.kind = LaunchRequest::Kind::OpenWithDefault;
        request.program = kOpener;
        request.arguments = {program};
        request.showMode = kShowNormal;
    }
    return launcher().start(request);
}

long openWithDefaultProgram(const std::string& path) {
    std::string normal = path;
    if (!USRFile::normalise(normal)) normal = path;
    if (USRFile::isNetworkPath(normal)) {
        std::string program;
        long error = 0;
        if (!USRFile::programForFile(normal, program, error)) return error;
        // An executable is its own program: it starts without being handed
        // its own path as a file to work on.
        if (program == normal) return launch({normal, "", "", kShowNormal, "open"});
        return launch({program + " \"%%\"", normal, "", kShowNormal, "open"});
    }
    return launch({normal, "", "", kShowNormal, "open"});
}

long openWithOpener(const std::string& target) {
    LaunchRequest request;
    request.kind = LaunchRequest::Kind::OpenWithDefault;
    request.program = kOpener;
    request.arguments = {target};
    return launcher().start(request);
}

} // namespace usraction
