#include "errortexts.h"

#include "qrd/statuses.h"

namespace nwd {

uint16_t errorText(uint16_t code, std::string& text) {
    if (const qrd::nm::StatusEntry* e = qrd::nm::findStatus(code)) {
        text = e->text;
        return 0;
    }
    return qrd::nm::inServiceRange(code) ? qrd::nm::kNoTranslation : qrd::nm::kBadErrorCode;
}

} // namespace nwd
