#include "qrd/usage.h"

namespace qrd {

std::string commandHelp(const std::string& head, const std::string& help) {
    std::string out = "  " + head + "\n";
    size_t at = 0;
    while (at < help.size()) {
        size_t nl = help.find('\n', at);
        if (nl == std::string::npos) nl = help.size();
        out += "      " + help.substr(at, nl - at) + "\n";
        at = nl + 1;
    }
    return out;
}

} // namespace qrd
