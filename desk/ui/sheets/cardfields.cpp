#include "cardfields.h"

#include <QVariant>

namespace desk::sheets {
namespace {

using P = CardPage;

// The message board has no limit on its page; 320 is what its slot holds.
constexpr CardField kFields[] = {
    {P::General, kCardName, 0, 1024, "&Name:", 50},
    {P::General, kCardJob, 0, 1025, "&Job title:", 50},
    {P::General, kCardCompany, 0, 1075, "&Company:", 50},
    {P::Address, kCardOffice, 0, 1075, "&Office Loc:", 200},
    {P::Address, kCardAddressText, 0, 1074, "&Address1:", 159},
    {P::Address, kCardAddressText, 1, 1076, "A&ddress2:", 160},
    {P::Address, kCardCity, 0, 1077, "&City:", 50},
    {P::Address, kCardState, 0, 1078, "&State/Province:", 50},
    {P::Address, kCardCountry, 0, 1080, "Coun&try:", 50},
    {P::Address, kCardPostal, 0, 1079, "&Postal/Zip:", 16},
    {P::MailPhone, kCardEmail, 0, 1026, "&EMail:", 100},
    {P::MailPhone, kCardPhone, 0, 1028, "&Phone:", 50},
    {P::MailPhone, kCardFax, 0, 1031, "&Fax:", 50},
    {P::MessageBoard, kCardBoardText, 0, 1084, "", 320},
};

} // namespace

std::span<const CardField> cardFields() {
    return kFields;
}

QString cardValue(const QStringList& texts, const CardField& field) {
    const QString text = field.text < texts.size() ? texts[field.text] : QString();
    if (field.text != kCardAddressText) return text;
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    if (field.line == 0) return cut < 0 ? text : text.left(cut);
    return cut < 0 ? QString() : text.mid(cut + 1);
}

void setCardValue(QStringList& texts, const CardField& field, const QString& value) {
    while (texts.size() < kCardTextCount)
        texts << QString();
    if (field.text != kCardAddressText) {
        texts[field.text] = value;
        return;
    }
    CardField first = field;
    first.line = 0;
    CardField second = field;
    second.line = 1;
    const QString line1 = field.line == 0 ? value : cardValue(texts, first);
    const QString line2 = field.line == 1 ? value : cardValue(texts, second);
    texts[field.text] = line2.isEmpty() ? line1 : line1 + QLatin1Char('\n') + line2;
}

QStringList cardTexts(const QVariant& texts) {
    QStringList out = texts.toStringList();
    while (out.size() < kCardTextCount)
        out << QString();
    return out;
}

} // namespace desk::sheets
