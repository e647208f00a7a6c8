// Small text helpers shared by the path services.
#pragma once

#include <string>
#include <string_view>

namespace usrfile {

// The text without one leading double quote.
std::string_view unquoted(std::string_view text);
// ASCII case-insensitive comparisons, as the platform compares paths.
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
std::string upper(std::string_view text);

// The registry's UNC key whatever the client generation, so that an older
// client still reads paths that a newer one wrote.
std::string configuredUncKey();

} // namespace usrfile
