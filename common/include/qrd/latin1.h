// UTF-8 (the workstation's text in memory) and Latin-1 (the names and
// passwords the client API and the directory service speak).
#pragma once

#include <string>

namespace qrd {

// Every Latin-1 text has a UTF-8 form.
std::string latin1ToUtf8(const std::string& latin1);
// False when the text is not valid UTF-8 or holds a character outside Latin-1.
bool utf8ToLatin1(const std::string& utf8, std::string& latin1);

} // namespace qrd
