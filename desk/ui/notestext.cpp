#include "notestext.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace desk::ui {
namespace {

// Qt's line break inside a paragraph; the model's is '\n'.
constexpr QChar kLineBreak = QChar::LineSeparator;

bool isEarlierHtml(const QString& notes) {
    const QString head = notes.trimmed().left(16);
    return head.startsWith(QLatin1String("<!DOCTYPE HTML"), Qt::CaseInsensitive) ||
           head.startsWith(QLatin1String("<html"), Qt::CaseInsensitive);
}

richtext::Align alignOf(Qt::Alignment a) {
    if (a & Qt::AlignHCenter) return richtext::Align::Center;
    if ((a & Qt::AlignHorizontal_Mask) == Qt::AlignRight) return richtext::Align::Right;
    return richtext::Align::Left;
}

constexpr Qt::Alignment kAlignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

richtext::Run runOf(const QTextCharFormat& f, const QFont& base) {
    richtext::Run r;
    const QStringList families = f.fontFamilies().toStringList();
    r.face = (families.isEmpty() ? base.family() : families.first()).toStdString();
    const double points =
        f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : base.pointSizeF();
    r.halfPoints = qRound(points * 2);
    r.bold = f.fontWeight() >= QFont::Bold;
    r.italic = f.fontItalic();
    r.underline = f.fontUnderline();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) {
        const QColor c = f.foreground().color();
        r.color = {false, uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())};
    }
    return r;
}

QTextCharFormat formatOf(const richtext::Run& r) {
    QTextCharFormat f;
    if (!r.face.empty()) f.setFontFamilies({QString::fromStdString(r.face)});
    f.setFontPointSize(r.halfPoints / 2.0);
    f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(r.italic);
    f.setFontUnderline(r.underline);
    if (!r.color.automatic) f.setForeground(QColor(r.color.r, r.color.g, r.color.b));
    return f;
}

} // namespace

void loadNotes(QTextDocument& doc, const QString& notes) {
    const std::string stored = notes.toStdString();
    if (richtext::looksLikeRtf(stored)) {
        richtext::Document model;
        std::string error;
        if (richtext::readRtf(stored, model, error))
            fillDocument(doc, model);
        else
            doc.setPlainText(notes);
    } else if (isEarlierHtml(notes)) {
        doc.setHtml(notes);
    } else {
        doc.setPlainText(notes);
    }
}

QString notesPlainText(const QString& notes) {
    QTextDocument doc;
    loadNotes(doc, notes);
    return doc.toPlainText();
}

QString notesRtf(const QTextDocument& doc) {
    return QString::fromStdString(richtext::writeRtf(notesModel(doc)));
}

richtext::Document notesModel(const QTextDocument& doc) {
    richtext::Document model;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        richtext::Paragraph p;
        p.align = alignOf(b.blockFormat().alignment());
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            QString text = frag.text();
            text.replace(kLineBreak, QLatin1Char('\n'));
            text.remove(QChar::ObjectReplacementCharacter); // pictures are not kept
            if (text.isEmpty()) continue;
            richtext::Run r = runOf(frag.charFormat(), doc.defaultFont());
            r.text = text.toStdString();
            if (!p.runs.empty() && p.runs.back().sameFormat(r))
                p.runs.back().text += r.text;
            else
                p.runs.push_back(std::move(r));
        }
        model.paragraphs.push_back(std::move(p));
    }
    return model;
}

void fillDocument(QTextDocument& doc, const richtext::Document& model) {
    doc.clear();
    QTextCursor c(&doc);
    bool first = true;
    for (const richtext::Paragraph& p : model.paragraphs) {
        QTextBlockFormat bf;
        bf.setAlignment(kAlignments[size_t(p.align) < 3 ? size_t(p.align) : 0]);
        if (first)
            c.setBlockFormat(bf);
        else
            c.insertBlock(bf);
        first = false;
        for (const richtext::Run& r : p.runs) {
            QString text = QString::fromStdString(r.text);
            text.replace(QLatin1Char('\n'), kLineBreak);
            c.insertText(text, formatOf(r));
        }
    }
}

} // namespace desk::ui
