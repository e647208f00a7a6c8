// The business card's fields: which of the card's thirteen texts each page
// control edits, and the character limit that lets the store take the card.
// The eighth text holds the two address lines joined by "\n" and is stored
// in 320 UTF-16 units: 159 + 1 + 160.
#pragma once

#include <QStringList>
#include <span>

namespace desk::sheets {

enum class CardPage { General, Address, MailPhone, MessageBoard };

struct CardField {
    CardPage page;
    int text; // index into the card's texts
    int line; // for the address text: 0 or 1; else 0
    int id;   // control id
    const char* label;
    int limit; // characters
};

constexpr int kCardTextCount = 13;
constexpr int kCardAddressText = 7;
constexpr int kCardBoardText = 12;
// Index of the card text of each field shown on the display page.
enum CardText : int {
    kCardName = 0,
    kCardJob = 1,
    kCardCompany = 2,
    kCardEmail = 3,
    kCardOffice = 4,
    kCardPhone = 5,
    kCardFax = 6,
    kCardCity = 8,
    kCardState = 9,
    kCardPostal = 10,
    kCardCountry = 11,
};

std::span<const CardField> cardFields();

// The value of `field` in `texts` (the address text split into its lines).
QString cardValue(const QStringList& texts, const CardField& field);
// Puts `value` for `field` into `texts`.
void setCardValue(QStringList& texts, const CardField& field, const QString& value);

// The texts of a card's values, padded to thirteen.
QStringList cardTexts(const QVariant& texts);

} // namespace desk::sheets
