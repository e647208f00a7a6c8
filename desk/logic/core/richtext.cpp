// The model's helpers and the writer. Every run is written as a group with
// its whole format, so a reader never depends on what came before.
#include "core/richtext.h"

#include <algorithm>

#include "core/cp1252.h"

namespace richtext {
namespace {

constexpr const char* kAlignWords[] = {"\\ql", "\\qc", "\\qr"};

// Escapes text for the body or the font table.
void appendText(std::string& out, const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = nextUtf8(text, i);
        if (cp == '\\' || cp == '{' || cp == '}') {
            out += '\\';
            out += char(cp);
        } else if (cp == '\t') {
            out += "\\tab ";
        } else if (cp == '\n') {
            out += "\\line ";
        } else if (cp < 0x20) {
            continue; // other controls have no place in notes
        } else if (cp < 0x80) {
            out += char(cp);
        } else if (const int b = unicodeToCp1252(cp); b >= 0) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\'";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            // \uN takes a signed 16-bit N; beyond the BMP as a surrogate pair.
            auto unit = [&out](uint32_t u) {
                out += "\\u" + std::to_string(int16_t(uint16_t(u))) + "?";
            };
            if (cp >= 0x10000) {
                unit(0xD800 + ((cp - 0x10000) >> 10));
                unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                unit(cp);
            }
        }
    }
}

template <class T> size_t indexOf(std::vector<T>& table, const T& value) {
    auto it = std::find(table.begin(), table.end(), value);
    if (it != table.end()) return size_t(it - table.begin());
    table.push_back(value);
    return table.size() - 1;
}

std::string cleanFace(const std::string& face) {
    std::string f = face;
    f.erase(std::remove(f.begin(), f.end(), ';'), f.end());
    return f;
}

} // namespace

bool Run::sameFormat(const Run& o) const {
    return face == o.face && halfPoints == o.halfPoints && bold == o.bold && italic == o.italic &&
           underline == o.underline && color == o.color;
}

bool looksLikeRtf(const std::string& text) {
    return text.compare(0, 5, "{\\rtf") == 0;
}

std::string writeRtf(const Document& doc) {
    std::vector<std::string> faces;
    std::vector<Color> colors;
    for (const Paragraph& p : doc.paragraphs)
        for (const Run& r : p.runs) {
            if (!r.face.empty()) indexOf(faces, cleanFace(r.face));
            if (!r.color.automatic) indexOf(colors, r.color);
        }

    std::string body;
    for (const Paragraph& p : doc.paragraphs) {
        body += "\\pard";
        body += kAlignWords[size_t(p.align) < 3 ? size_t(p.align) : 0];
        for (const Run& r : p.runs) {
            body += '{';
            if (!r.face.empty()) body += "\\f" + std::to_string(indexOf(faces, cleanFace(r.face)));
            body +=
                "\\fs" + std::to_string(std::clamp(r.halfPoints, kMinHalfPoints, kMaxHalfPoints));
            if (r.bold) body += "\\b";
            if (r.italic) body += "\\i";
            if (r.underline) body += "\\ul";
            if (!r.color.automatic) body += "\\cf" + std::to_string(indexOf(colors, r.color) + 1);
            body += ' ';
            appendText(body, r.text);
            body += '}';
        }
        body += "\\par\n";
    }

    std::string out = "{\\rtf1\\ansi\\ansicpg1252";
    if (!faces.empty()) {
        out += "{\\fonttbl";
        for (size_t i = 0; i < faces.size(); ++i) {
            out += "{\\f" + std::to_string(i) + "\\fnil ";
            appendText(out, faces[i]);
            out += ";}";
        }
        out += '}';
    }
    if (!colors.empty()) {
        out += "{\\colortbl ;";
        for (const Color& c : colors)
            out += "\\red" + std::to_string(c.r) + "\\green" + std::to_string(c.g) + "\\blue" +
                   std::to_string(c.b) + ";";
        out += '}';
    }
    out += '\n';
    out += body;
    out += "}";
    return out;
}

} // namespace richtext
