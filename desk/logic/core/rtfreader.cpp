// The rich-text reader: one pass over the bytes with a stack of group
// states. Text goes to the body, the font table or the colour table, or is
// dropped inside skipped destinations; \bin data is stepped over.
#include <algorithm>
#include <cctype>
#include <climits>

#include <map>

#include "core/cp1252.h"
#include "core/richtext.h"
#include "qrd/utf8.h"

namespace richtext {
namespace {

enum class Dest : uint8_t { Body, FontTable, ColorTable, Skip };

enum class Word : uint8_t {
    FontTable,
    ColorTable,
    Skip,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    FontSize,
    Font,
    Foreground,
    Plain,
    Par,
    Pard,
    Align,
    Char,
    Unicode,
    UnicodeSkip,
    DefaultFont,
    Red,
    Green,
    Blue,
    Bin,
};

struct WordRow {
    const char* name;
    Word word;
    uint32_t value = 0; // the alignment or the character
};

// Sorted by name (looked up by binary search).
constexpr WordRow kWords[] = {
    {"author", Word::Skip},
    {"b", Word::Bold},
    {"bin", Word::Bin},
    {"blue", Word::Blue},
    {"bullet", Word::Char, 0x2022},
    {"cell", Word::Char, '\t'},
    {"cf", Word::Foreground},
    {"colortbl", Word::ColorTable},
    {"comment", Word::Skip},
    {"company", Word::Skip},
    {"deff", Word::DefaultFont},
    {"doccomm", Word::Skip},
    {"emdash", Word::Char, 0x2014},
    {"emspace", Word::Char, 0x2003},
    {"endash", Word::Char, 0x2013},
    {"enspace", Word::Char, 0x2002},
    {"f", Word::Font},
    {"fonttbl", Word::FontTable},
    {"footer", Word::Skip},
    {"footerf", Word::Skip},
    {"footerl", Word::Skip},
    {"footerr", Word::Skip},
    {"footnote", Word::Skip},
    {"fs", Word::FontSize},
    {"green", Word::Green},
    {"header", Word::Skip},
    {"headerf", Word::Skip},
    {"headerl", Word::Skip},
    {"headerr", Word::Skip},
    {"i", Word::Italic},
    {"info", Word::Skip},
    {"keywords", Word::Skip},
    {"ldblquote", Word::Char, 0x201C},
    {"line", Word::Char, '\n'},
    {"listoverridetable", Word::Skip},
    {"listtable", Word::Skip},
    {"lquote", Word::Char, 0x2018},
    {"object", Word::Skip},
    {"operator", Word::Skip},
    {"page", Word::Par},
    {"par", Word::Par},
    {"pard", Word::Pard},
    {"pict", Word::Skip},
    {"plain", Word::Plain},
    {"qc", Word::Align, uint32_t(Align::Center)},
    {"qj", Word::Align, uint32_t(Align::Left)},
    {"ql", Word::Align, uint32_t(Align::Left)},
    {"qr", Word::Align, uint32_t(Align::Right)},
    {"rdblquote", Word::Char, 0x201D},
    {"red", Word::Red},
    {"row", Word::Par},
    {"rquote", Word::Char, 0x2019},
    {"sect", Word::Par},
    {"stylesheet", Word::Skip},
    {"subject", Word::Skip},
    {"tab", Word::Char, '\t'},
    {"title", Word::Skip},
    {"u", Word::Unicode},
    {"uc", Word::UnicodeSkip},
    {"ul", Word::Underline},
    {"uld", Word::Underline},
    {"uldash", Word::Underline},
    {"uldb", Word::Underline},
    {"ulnone", Word::UnderlineNone},
    {"ulth", Word::Underline},
    {"ulw", Word::Underline},
    {"ulwave", Word::Underline},
};

const WordRow* findWord(const std::string& name) {
    auto it = std::lower_bound(std::begin(kWords), std::end(kWords), name,
                               [](const WordRow& r, const std::string& n) { return n > r.name; });
    return it != std::end(kWords) && name == it->name ? it : nullptr;
}

// Character formatting and paragraph alignment: both are undone when the
// group that set them ends.
struct State {
    Dest dest = Dest::Body;
    int font = -1; // -1: the default font
    int halfPoints = 24;
    bool bold = false, italic = false, underline = false;
    int color = 0;
    Align align = Align::Left;
    int unicodeSkip = 1;
    bool sameCharacters(const State& o) const {
        return font == o.font && halfPoints == o.halfPoints && bold == o.bold &&
               italic == o.italic && underline == o.underline && color == o.color;
    }
};

class Reader {
  public:
    Reader(const std::string& s, Document& doc) : s_(s), doc_(doc) {}
    bool read(std::string& error);

  private:
    bool step();
    bool controlWord();
    bool act(const WordRow& row, bool hasValue, int value);
    bool controlSymbol(char c);
    bool character(uint32_t cp);
    bool paragraphEnd();
    void closeGroup();
    Run format() const;
    bool fail(const char* why) {
        error_ = why;
        return false;
    }

    const std::string& s_;
    Document& doc_;
    size_t i_ = 0;
    std::vector<State> stack_;
    State cur_;
    Paragraph para_;
    std::map<int, std::string> fonts_;
    int fontNumber_ = 0;
    std::string fontName_;
    std::vector<Color> colors_;
    Color colorEntry_;
    int deff_ = -1;
    int skip_ = 0;          // characters still to skip after \u
    uint32_t highHalf_ = 0; // a \u high surrogate waiting for its pair
    size_t produced_ = 0;   // bytes of model built
    State runState_;        // the state the last run was started in
    bool runStateValid_ = false;
    bool done_ = false;
    std::string error_;
};

bool Reader::read(std::string& error) {
    doc_ = Document{};
    if (!looksLikeRtf(s_)) {
        error = "the text is not rich text";
        return false;
    }
    while (i_ < s_.size() && !done_)
        if (!step()) {
            error = error_;
            return false;
        }
    if (!para_.runs.empty()) doc_.paragraphs.push_back(std::move(para_));
    return true;
}

bool Reader::step() {
    const char c = s_[i_];
    if (c == '{' || c == '}') skip_ = 0;
    if (c == '{') {
        ++i_;
        if (stack_.size() >= size_t(kMaxDepth)) return fail("the groups are nested too deeply");
        stack_.push_back(cur_);
        return true;
    }
    if (c == '}') {
        ++i_;
        closeGroup();
        return true;
    }
    if (c == '\\') return controlWord();
    ++i_;
    if (c == '\r' || c == '\n') return true;
    if (skip_ > 0) {
        --skip_;
        return true;
    }
    return character(cp1252ToUnicode(uint8_t(c)));
}

void Reader::closeGroup() {
    if (cur_.dest == Dest::FontTable && !fontName_.empty()) {
        if (fonts_.size() < kMaxTableEntries) fonts_.emplace(fontNumber_, fontName_);
        fontName_.clear();
    }
    if (stack_.empty()) {
        done_ = true; // a brace beyond the outermost group
        return;
    }
    cur_ = stack_.back();
    stack_.pop_back();
    if (stack_.empty()) done_ = true;
}

bool Reader::controlWord() {
    ++i_; // the backslash
    if (i_ >= s_.size()) return true;
    if (!std::isalpha(uint8_t(s_[i_]))) return controlSymbol(s_[i_++]);
    std::string name;
    while (i_ < s_.size() && std::isalpha(uint8_t(s_[i_]))) {
        if (name.size() <= 32) name += s_[i_];
        ++i_;
    }
    bool negative = false, hasValue = false;
    long long value = 0;
    if (i_ < s_.size() && s_[i_] == '-') {
        negative = true;
        ++i_;
    }
    while (i_ < s_.size() && std::isdigit(uint8_t(s_[i_]))) {
        hasValue = true;
        value = std::min<long long>(value * 10 + (s_[i_] - '0'), INT_MAX);
        ++i_;
    }
    if (i_ < s_.size() && s_[i_] == ' ') ++i_;
    if (skip_ > 0) {
        --skip_;
        return true;
    }
    const WordRow* row = findWord(name);
    if (!row) return true; // unknown words are ignored
    return act(*row, hasValue, int(negative ? -value : value));
}

bool Reader::controlSymbol(char c) {
    if (c == '\'') {
        auto hex = [](char h) {
            return std::isxdigit(uint8_t(h))
                       ? (std::isdigit(uint8_t(h)) ? h - '0' : (h | 0x20) - 'a' + 10)
                       : -1;
        };
        if (s_.size() - i_ < 2 || hex(s_[i_]) < 0 || hex(s_[i_ + 1]) < 0) return true;
        const int b = hex(s_[i_]) << 4 | hex(s_[i_ + 1]);
        i_ += 2;
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        return character(cp1252ToUnicode(uint8_t(b)));
    }
    if (skip_ > 0) {
        --skip_;
        return true;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        return character(uint8_t(c));
    case '~':
        return character(0xA0);
    case '_':
        return character(0x2011);
    case '*':
        cur_.dest = Dest::Skip;
        return true;
    case '\n':
    case '\r':
        return cur_.dest == Dest::Body ? paragraphEnd() : true;
    default:
        return true; // \- \| \: and the rest show nothing
    }
}

bool Reader::act(const WordRow& row, bool hasValue, int value) {
    const bool on = !hasValue || value != 0;
    if (row.word == Word::Bin) {
        // Binary data: its bytes are not text, whatever they look like.
        const size_t n = hasValue && value > 0 ? size_t(value) : 0;
        i_ += std::min(n, s_.size() - i_);
        return true;
    }
    if (cur_.dest == Dest::Skip) return true;
    switch (row.word) {
    case Word::FontTable:
        cur_.dest = Dest::FontTable;
        break;
    case Word::ColorTable:
        cur_.dest = Dest::ColorTable;
        colorEntry_ = Color{};
        break;
    case Word::Skip:
        cur_.dest = Dest::Skip;
        break;
    case Word::Bold:
        cur_.bold = on;
        break;
    case Word::Italic:
        cur_.italic = on;
        break;
    case Word::Underline:
        cur_.underline = on;
        break;
    case Word::UnderlineNone:
        cur_.underline = false;
        break;
    case Word::FontSize:
        cur_.halfPoints =
            hasValue && value > 0 ? std::clamp(value, kMinHalfPoints, kMaxHalfPoints) : 24;
        break;
    case Word::Font:
        if (cur_.dest == Dest::FontTable) {
            fontNumber_ = value;
            fontName_.clear();
        } else {
            cur_.font = value;
        }
        break;
    case Word::Foreground:
        cur_.color = value;
        break;
    case Word::Plain: {
        const State keep = cur_;
        cur_ = State{};
        cur_.dest = keep.dest;
        cur_.align = keep.align;
        cur_.unicodeSkip = keep.unicodeSkip;
        break;
    }
    case Word::Par:
        return cur_.dest == Dest::Body ? paragraphEnd() : true;
    case Word::Pard:
        cur_.align = Align::Left;
        break;
    case Word::Align:
        cur_.align = Align(row.value);
        break;
    case Word::Char:
        return character(row.value);
    case Word::Unicode: {
        const uint32_t unit = uint16_t(int16_t(value)); // -1 is U+FFFF, as written
        const bool ok = character(unit);
        skip_ = cur_.unicodeSkip;
        return ok;
    }
    case Word::UnicodeSkip:
        cur_.unicodeSkip = std::clamp(value, 0, 16);
        break;
    case Word::DefaultFont:
        deff_ = value;
        runStateValid_ = false;
        break;
    case Word::Red:
    case Word::Green:
    case Word::Blue:
        if (cur_.dest == Dest::ColorTable) {
            const uint8_t v = uint8_t(std::clamp(value, 0, 255));
            colorEntry_.automatic = false;
            (row.word == Word::Red     ? colorEntry_.r
             : row.word == Word::Green ? colorEntry_.g
                                       : colorEntry_.b) = v;
        }
        break;
    case Word::Bin:
        break;
    }
    return true;
}

bool Reader::character(uint32_t cp) {
    // UTF-16 halves from \u: a high one waits for its low one.
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        highHalf_ = cp;
        return true;
    }
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = highHalf_ ? 0x10000 + ((highHalf_ - 0xD800) << 10) + (cp - 0xDC00) : 0xFFFD;
    } else if (highHalf_) {
        highHalf_ = 0;
        if (!character(0xFFFD)) return false;
    }
    highHalf_ = 0;
    switch (cur_.dest) {
    case Dest::Skip:
        return true;
    case Dest::FontTable:
        runStateValid_ = false; // a face may change under a font number
        if (cp == ';') {
            if (fonts_.size() < kMaxTableEntries) fonts_.emplace(fontNumber_, fontName_);
            fontName_.clear();
        } else if (cp >= 0x20 && fontName_.size() < kMaxFaceBytes) {
            qrd::appendUtf8(fontName_, cp);
        }
        return true;
    case Dest::ColorTable:
        runStateValid_ = false;
        if (cp == ';' && colors_.size() < kMaxTableEntries) {
            colors_.push_back(colorEntry_);
            colorEntry_ = Color{};
        }
        return true;
    case Dest::Body:
        break;
    }
    if (cp < 0x20 && cp != '\t' && cp != '\n') return true;
    std::string bytes;
    qrd::appendUtf8(bytes, cp);
    if ((produced_ += bytes.size()) > kMaxOutput) return fail("the notes hold too much text");
    para_.align = cur_.align;
    if (!runStateValid_ || !cur_.sameCharacters(runState_)) {
        runState_ = cur_;
        runStateValid_ = true;
        Run f = format();
        if (para_.runs.empty() || !para_.runs.back().sameFormat(f)) {
            if ((produced_ += sizeof(Run)) > kMaxOutput)
                return fail("the notes hold too much text");
            para_.runs.push_back(std::move(f));
        }
    }
    para_.runs.back().text += bytes;
    return true;
}

bool Reader::paragraphEnd() {
    if ((produced_ += sizeof(Paragraph)) > kMaxOutput) return fail("the notes hold too much text");
    para_.align = cur_.align;
    doc_.paragraphs.push_back(std::move(para_));
    para_ = Paragraph{};
    runStateValid_ = false;
    return true;
}

Run Reader::format() const {
    Run r;
    const auto face = fonts_.find(cur_.font >= 0 ? cur_.font : deff_);
    if (face != fonts_.end()) r.face = face->second;
    r.halfPoints = cur_.halfPoints;
    r.bold = cur_.bold;
    r.italic = cur_.italic;
    r.underline = cur_.underline;
    if (cur_.color > 0 && size_t(cur_.color) < colors_.size()) r.color = colors_[cur_.color];
    return r;
}

} // namespace

bool readRtf(const std::string& rtf, Document& doc, std::string& error) {
    return Reader(rtf, doc).read(error);
}

} // namespace richtext
