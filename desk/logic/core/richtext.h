// Folder notes as rich text (RTF), the form other workstations read: a plain
// model of the formatting the notes editor has, a writer and a reader.
//
// The reader takes text from outside (a folder's stored notes): it bounds
// group depth, numbers, table sizes and the text it produces, and returns
// false (never crashes or loops) on anything it cannot take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace richtext {

enum class Align : uint8_t { Left, Center, Right };

struct Color {
    bool automatic = true; // the reader's default text colour
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Color&) const = default;
};

// A stretch of text in one format. `text` is UTF-8; '\t' is a tab and '\n'
// a line break inside the paragraph. An empty face is the reader's default.
struct Run {
    std::string text;
    std::string face;
    int halfPoints = 24; // font size in half points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Color color;
    bool sameFormat(const Run& o) const;
    bool operator==(const Run&) const = default;
};

struct Paragraph {
    Align align = Align::Left;
    std::vector<Run> runs;
    bool operator==(const Paragraph&) const = default;
};

struct Document {
    std::vector<Paragraph> paragraphs;
    bool operator==(const Document&) const = default;
};

// Limits of the reader.
constexpr int kMaxDepth = 64;             // nested groups
constexpr size_t kMaxOutput = 4u << 20;   // bytes of model built (text, runs, paragraphs)
constexpr size_t kMaxTableEntries = 4096; // fonts, colours
constexpr size_t kMaxFaceBytes = 128;     // one font name
constexpr int kMinHalfPoints = 2;         // font sizes are clamped to
constexpr int kMaxHalfPoints = 3276;      //   these bounds

// True when `text` starts as RTF does ("{\rtf").
bool looksLikeRtf(const std::string& text);

// RTF for `doc`, 7-bit ASCII. Faces lose any ';' (the font table's separator).
std::string writeRtf(const Document& doc);

// Reads RTF into `doc`; false with `error` set when `rtf` is not RTF or is
// beyond the limits above. Unknown control words are ignored; unknown
// destinations and those marked \* are skipped. A missing final brace is
// forgiven.
bool readRtf(const std::string& rtf, Document& doc, std::string& error);

} // namespace richtext
