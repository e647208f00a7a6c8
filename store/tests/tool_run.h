// Runs the build tree's namedir tool on the test's workstation (where the
// test has logged somebody in) and collects what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "testenv.h"

namespace storetest {

struct ToolRun {
    int exitCode = -1;
    std::string out; // standard output and error together
};

// `env`: assignments put before the command, e.g. another workstation.
inline ToolRun namedirTool(const std::string& args, const std::string& env = "") {
    ToolRun r;
    std::string cmd = env + " " + qrdtest::binaryDir() + "/store/namedir " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace storetest
