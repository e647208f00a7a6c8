#include "nmda/textcodes.h"

#include <cstring>

namespace qrd::nmda {

namespace {

using Convert = void (*)(char*);

Convert outgoing(const QRD_NMDA_SESSION& b) {
    if (b.revision < QRD_NMDA_REVISION) return nullptr;
    return b.charCode == QRD_NMDA_CHARS_PCM ? QrdConvPcmToLatin1 : nullptr;
}

Convert incoming(const QRD_NMDA_SESSION& b) {
    if (b.revision < QRD_NMDA_REVISION) return nullptr;
    if (b.charCode == QRD_NMDA_CHARS_ASCII) return QrdConvLatin1ToAscii;
    if (b.charCode == QRD_NMDA_CHARS_PCM) return QrdConvLatin1ToPcm;
    return nullptr;
}

// The text up to its NUL (or the field's last byte) and the last byte on
// its own: nothing outside the field is read or written.
void convertField(Convert f, char* field, size_t size) {
    if (!f || !field || size == 0) return;
    char last[2] = {field[size - 1], '\0'};
    field[size - 1] = '\0';
    f(field);
    f(last);
    field[size - 1] = last[0];
}

} // namespace

void toService(const QRD_NMDA_SESSION& block, char* field, size_t size) {
    convertField(outgoing(block), field, size);
}

void fromService(const QRD_NMDA_SESSION& block, char* field, size_t size) {
    convertField(incoming(block), field, size);
}

void valueFromService(const QRD_NMDA_SESSION& block, uint8_t* value, size_t size) {
    Convert f = incoming(block);
    if (!f || size == 0) return;
    char* p = reinterpret_cast<char*>(value);
    size_t at = 0;
    while (at + 1 < size) {
        const void* nul = std::memchr(p + at, 0, size - 1 - at);
        const size_t end = nul ? size_t(static_cast<const char*>(nul) - p) : size - 1;
        if (nul) {
            f(p + at);
        } else {
            convertField(f, p + at, size - at);
            return;
        }
        at = end + 1;
    }
    convertField(f, p + size - 1, 1);
}

} // namespace qrd::nmda
