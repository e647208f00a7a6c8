#include "errortexts.h"

#include "qrd/nmproto.h"

namespace nwd {

namespace {

struct TextEntry {
    uint16_t code;
    const char* text;
};

// Our own wording; each text fits the 127 bytes of the reply field.
constexpr TextEntry kTexts[] = {
    {101, "The object is held by another server"},
    {155, "The issuing server did not answer"},
    {1001, "Invalid name"},
    {1002, "No such object"},
    {1005, "Name too long"},
    {1006, "Out of memory"},
    {1009, "No such group"},
    {1011, "No such organisation"},
    {1012, "Directory storage failure"},
    {1013, "No such record"},
    {1017, "Unknown or expired session"},
    {1020, "Wrong password"},
    {1021, "Too many wrong passwords; try again later"},
    {1025, "Login credential not valid"},
    {1032, "The object's attributes were removed"},
    {1033, "Access denied"},
    {1039, "Session lost during a transfer"},
    {1041, "No more names"},
    {1053, "Description buffer too small"},
    {1055, "No such attribute"},
    {1064, "Attribute record damaged"},
    {1068, "Invalid request"},
    {1069, "Replacing a value needs index 0"},
    {1080, "Buffer too small"},
    {1099, "Unknown procedure"},
    {1801, "Not logged in"},
};

} // namespace

uint16_t errorText(uint16_t code, std::string& text) {
    for (const TextEntry& e : kTexts) {
        if (e.code == code) {
            text = e.text;
            return 0;
        }
    }
    return code >= 1000 && code <= 1999 ? qrd::nm::kNoTranslation : qrd::nm::kBadErrorCode;
}

} // namespace nwd
