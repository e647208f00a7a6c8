// The texts this service gives for its statuses (error-text procedure 255).
#pragma once

#include <cstdint>
#include <string>

namespace nwd {

// 0 with the text, 5029 for a status of the service's range (1000-1999)
// that has no text, 5001 for any other code.
uint16_t errorText(uint16_t code, std::string& text);

} // namespace nwd
