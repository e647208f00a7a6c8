// avdwrite: turns a readable description into an attribute definition file.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "avdwriter.h"

namespace {

const char kUsage[] = R"(Usage: avdwrite [--big-endian | --little-endian] DESCRIPTION OUTPUT

Writes the attribute definition file OUTPUT (".avd") from the readable
DESCRIPTION ("-" reads standard input). The file is written in the byte
order of a little-endian machine unless --big-endian is given.

Description, one statement a line ('#' starts a comment):
  updated-by NAME                    who last updated the file
  updated-at SECONDS                 when (seconds since 1970)
  group GROUP IDENTIFIER "Name"      the entry of a whole category
  attr GROUP ITEM IDENTIFIER "Name"  an attribute of a category (ITEM > 0)
  value VALUE "Name"                 a named value of the last entry
  general VALUE "Name"               an item of the general list
  table WORD                         starts a free-standing list
  item VALUE SECOND "Name"           an item of the last free-standing list

  -h, --help   show this text
)";

int usageError(const std::string& what) {
    std::cerr << "avdwrite: " << what << "\n\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    avd::ByteOrder order = avd::ByteOrder::little();
    std::string paths[2];
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--big-endian")
            order = avd::ByteOrder::big();
        else if (arg == "--little-endian")
            order = avd::ByteOrder::little();
        else if (arg.size() > 1 && arg[0] == '-')
            return usageError("unknown option " + arg);
        else if (count == 2)
            return usageError("too many arguments");
        else
            paths[count++] = arg;
    }
    if (count != 2) return usageError("DESCRIPTION and OUTPUT are needed");

    std::ostringstream text;
    if (paths[0] == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream in(paths[0]);
        if (!in) {
            std::cerr << "avdwrite: cannot read " << paths[0] << ": " << std::strerror(errno)
                      << "\n";
            return 1;
        }
        text << in.rdbuf();
    }
    avd::Definition def;
    std::vector<std::string> problems;
    if (!avd::parseDescription(text.str(), def, problems)) {
        for (const std::string& p : problems)
            std::cerr << "avdwrite: " << paths[0] << ":" << p << "\n";
        std::cerr << "avdwrite: nothing written; mend the description and run again.\n";
        return 1;
    }
    std::vector<uint8_t> bytes = avd::writeDefinition(def, order);
    // Through a temporary file, so that a reader never sees half a file.
    std::string temp = paths[1] + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.flush()) {
            std::cerr << "avdwrite: cannot write " << temp << ": " << std::strerror(errno) << "\n";
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), paths[1].c_str()) != 0) {
        std::cerr << "avdwrite: cannot write " << paths[1] << ": " << std::strerror(errno) << "\n";
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
