// The notes editor's document and the notes as they are stored: rich text
// (RTF) in and out. Notes stored as HTML by earlier builds and plain notes
// still load.
#pragma once

#include <QString>

#include "core/richtext.h"

class QTextDocument;

namespace desk::ui {

// Fills `doc` with stored notes. RTF the reader refuses is shown as plain
// text, so nothing is lost.
void loadNotes(QTextDocument& doc, const QString& notes);
// The notes in stored form.
QString notesRtf(const QTextDocument& doc);
// Stored notes as plain text, for places that show no format.
QString notesPlainText(const QString& notes);

// Between the editor's document and the rich-text model. Text without a
// face or size of its own takes the document's default font.
richtext::Document notesModel(const QTextDocument& doc);
void fillDocument(QTextDocument& doc, const richtext::Document& model);

} // namespace desk::ui
