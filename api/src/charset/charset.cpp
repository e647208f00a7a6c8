#include "charset/charset.h"

#include <cstring>

#include "charset/tables.h"
#include "qrdapi.h"

namespace qrd {

namespace {

void mapUpper(char* text, const charset::Table& table) {
    if (!text) return;
    for (auto* p = reinterpret_cast<unsigned char*>(text); *p; ++p) {
        if (*p >= 0x80) *p = table[*p - 0x80];
    }
}

// Indexed by the session's charset code 0-5; nullptr converts nothing.
struct SetRow {
    Converter byCode[6];
};

constexpr SetRow kToAscii = {
    {nullptr, QrdConvLatin1ToAscii, QrdConvLatin1ToAscii, QrdConvPcmToAscii, nullptr, nullptr}};
constexpr SetRow kToLatin1 = {{nullptr, nullptr, nullptr, QrdConvPcmToLatin1, nullptr, nullptr}};
constexpr SetRow kToPcm = {
    {nullptr, QrdConvLatin1ToPcm, QrdConvLatin1ToPcm, nullptr, nullptr, nullptr}};
constexpr SetRow kFromLatin1 = {
    {QrdConvLatin1ToAscii, nullptr, nullptr, QrdConvLatin1ToPcm, nullptr, nullptr}};
constexpr SetRow kFromPcm = {
    {QrdConvPcmToAscii, QrdConvPcmToLatin1, QrdConvPcmToLatin1, nullptr, nullptr, nullptr}};

const SetRow* rowOf(ConvSet set) {
    switch (set) {
    case ConvSet::ToAscii:
        return &kToAscii;
    case ConvSet::ToLatin1:
        return &kToLatin1;
    case ConvSet::ToPcm:
        return &kToPcm;
    case ConvSet::FromLatin1:
        return &kFromLatin1;
    case ConvSet::FromPcm:
        return &kFromPcm;
    }
    return nullptr;
}

} // namespace

Converter converterFor(ConvSet set, uint16_t charset) {
    const SetRow* row = rowOf(set);
    if (!row || charset >= 6) return nullptr;
    return row->byCode[charset];
}

void convertText(ConvSet set, uint16_t charset, char* text) {
    if (Converter conv = converterFor(set, charset); conv && text) conv(text);
}

void convertValue(uint16_t charset, uint8_t* buf, int32_t len, int direction) {
    if (!buf || len <= 0) return;
    ConvSet set;
    switch (direction) {
    case kValueToPcm:
        set = ConvSet::ToPcm;
        break;
    case kValueFromPcm:
        set = ConvSet::FromPcm;
        break;
    case kValueToLatin1:
        set = ConvSet::ToLatin1;
        break;
    case kValueFromLatin1:
        set = ConvSet::FromLatin1;
        break;
    default:
        return;
    }
    Converter conv = converterFor(set, charset);
    if (!conv) return;

    // The last byte becomes a terminator so that no string runs past the
    // buffer; it is converted on its own and put back afterwards.
    char* text = reinterpret_cast<char*>(buf);
    char last[2] = {text[len - 1], '\0'};
    text[len - 1] = '\0';
    for (int32_t at = 0; at < len;) {
        conv(text + at);
        at += int32_t(std::strlen(text + at)) + 1;
    }
    conv(last);
    text[len - 1] = last[0];
}

} // namespace qrd

extern "C" {

QRDAPI void QrdConvLatin1ToAscii(char* text) {
    qrd::mapUpper(text, qrd::charset::kLatin1ToAscii);
}

QRDAPI void QrdConvLatin1ToUpAscii(char* text) {
    QrdConvLatin1ToAscii(text);
    if (!text) return;
    for (char* p = text; *p; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
}

QRDAPI void QrdConvLatin1ToPcm(char* text) {
    qrd::mapUpper(text, qrd::charset::kLatin1ToPcm);
}

QRDAPI void QrdConvPcmToLatin1(char* text) {
    qrd::mapUpper(text, qrd::charset::kPcmToLatin1);
}

QRDAPI void QrdConvPcmToAscii(char* text) {
    qrd::mapUpper(text, qrd::charset::kPcmToAscii);
}

} // extern "C"
