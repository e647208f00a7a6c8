// Folder notes as rich text: our own text comes back whole, text from other
// writers is understood, and hostile text is refused or bounded.
#include <gtest/gtest.h>

#include <random>

#include "core/richtext.h"

using namespace richtext;
using TextRun = richtext::Run; // TEST bodies see the fixture's Run()

namespace {

TextRun run(std::string text, std::string face = "Arial", int halfPoints = 20) {
    TextRun r;
    r.text = std::move(text);
    r.face = std::move(face);
    r.halfPoints = halfPoints;
    return r;
}

Document read(const std::string& rtf) {
    Document doc;
    std::string error;
    EXPECT_TRUE(readRtf(rtf, doc, error)) << error << "\n" << rtf;
    return doc;
}

std::string plain(const Document& doc) {
    std::string out;
    for (const Paragraph& p : doc.paragraphs) {
        for (const TextRun& r : p.runs)
            out += r.text;
        out += '|';
    }
    return out;
}

} // namespace

TEST(RichText, OurOwnTextComesBackWhole) {
    Document doc;
    Paragraph title;
    title.align = Align::Center;
    TextRun bold = run("Plans {2027} \\ budget", "Times New Roman", 28);
    bold.bold = true;
    TextRun colored = run("\tred\nand blue", "Courier New", 17);
    colored.italic = colored.underline = true;
    colored.color = {false, 255, 0, 0};
    TextRun blue = run(" blue");
    blue.color = {false, 0, 0, 128};
    title.runs = {bold, colored, blue};
    Paragraph empty; // an empty line in the middle keeps its place
    Paragraph foreign;
    foreign.align = Align::Right;
    foreign.runs = {run("Grüße, 5 € — naïve 中文 😀", ""), run("auto", "Arial", 2)};
    Paragraph last; // and so does one at the end
    last.align = Align::Center;
    doc.paragraphs = {title, empty, foreign, last};

    const std::string rtf = writeRtf(doc);
    for (char c : rtf)
        ASSERT_LT(uint8_t(c), 0x80) << rtf;
    EXPECT_TRUE(looksLikeRtf(rtf));
    EXPECT_EQ(read(rtf), doc) << rtf;
}

TEST(RichText, FacesLoseTheTableSeparatorAndSizesAreBounded) {
    Document doc;
    doc.paragraphs.push_back({Align::Left, {run("a", "Odd;Face", 0), run("b", "Big", 100000)}});
    const Document back = read(writeRtf(doc));
    ASSERT_EQ(back.paragraphs.size(), 1u);
    ASSERT_EQ(back.paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(back.paragraphs[0].runs[0].face, "OddFace");
    EXPECT_EQ(back.paragraphs[0].runs[0].halfPoints, kMinHalfPoints);
    EXPECT_EQ(back.paragraphs[0].runs[1].halfPoints, kMaxHalfPoints);
}

TEST(RichText, ReadsWhatOtherWritersProduce) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}"
        "{\\f1\\froman{\\*\\panose 02020603050405020304}Times New Roman;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\*\\generator Some Writer 10.0;}{\\info{\\title Secret}{\\author Ann}}"
        "\\viewkind4\\uc1\\pard\\sa200\\sl276\\slmult1\\qc\\f0\\fs22 Caf\\'e9 \\b bold\\b0  "
        "\\i\\f1 it\\i0\\ul under\\ulnone\\par\r\n"
        "\\pard\\qr\\cf1 red\\cf2\\{blue\\}\\cf0  \\u8364\\'80\\ldblquote q\\rdblquote\\tab x"
        "\\line y{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
        "{\\pict\\pngblip 89504e47}\\par\r\n}";
    const Document doc = read(rtf);
    ASSERT_EQ(doc.paragraphs.size(), 2u);
    EXPECT_EQ(plain(doc), "Café bold itunder|red{blue} €“q”\tx\nylink|");
    const Paragraph& first = doc.paragraphs[0];
    EXPECT_EQ(first.align, Align::Center);
    ASSERT_GE(first.runs.size(), 4u);
    EXPECT_EQ(first.runs[0].face, "Calibri");
    EXPECT_EQ(first.runs[0].halfPoints, 22);
    EXPECT_TRUE(first.runs[1].bold);
    EXPECT_EQ(first.runs[1].text, "bold");
    EXPECT_EQ(first.runs[3].text, "it");
    EXPECT_TRUE(first.runs[3].italic);
    EXPECT_EQ(first.runs[3].face, "Times New Roman");
    EXPECT_TRUE(first.runs[4].underline);
    const Paragraph& second = doc.paragraphs[1];
    EXPECT_EQ(second.align, Align::Right);
    EXPECT_EQ(second.runs[0].text, "red");
    EXPECT_EQ(second.runs[0].color, (Color{false, 255, 0, 0}));
    EXPECT_EQ(second.runs[1].color, (Color{false, 0, 0, 255}));
    EXPECT_TRUE(second.runs[2].color.automatic);
}

TEST(RichText, UnicodeFallbacksAreSkippedByCount) {
    // \uc2: two fallback characters follow each \u; \'hh and a control word
    // each count as one; a group ends the skipping.
    EXPECT_EQ(plain(read("{\\rtf1\\uc2\\u228\\'61\\'62c\\u246 xyz\\u252{}q}")), "äcözüq|");
    // A pair of halves is one character; a lone half is the replacement.
    EXPECT_EQ(plain(read("{\\rtf1\\u-10179?\\u-8704?\\u-9000?x}")), "😀\xEF\xBF\xBDx|");
    EXPECT_EQ(plain(read("{\\rtf1\\uc0\\u20013\\u25991}")), "中文|");
}

TEST(RichText, HostileTextIsRefusedOrBounded) {
    Document doc;
    std::string error;
    EXPECT_FALSE(readRtf("<html>notes</html>", doc, error));
    EXPECT_FALSE(readRtf("", doc, error));
    EXPECT_FALSE(readRtf("{\\rtf1" + std::string(200, '{') + "x", doc, error));
    EXPECT_NE(error.find("nested"), std::string::npos);
    EXPECT_FALSE(readRtf("{\\rtf1 " + std::string(kMaxOutput + 1, 'a') + "}", doc, error));
    std::string pars = "{\\rtf1 ";
    for (size_t i = 0; i <= kMaxOutput / sizeof(Paragraph); ++i)
        pars += "\\par";
    EXPECT_FALSE(readRtf(pars, doc, error)) << "empty paragraphs count against the bound";

    // Numbers beyond every range, unknown tables entries, cut-off escapes,
    // binary data claiming more than there is, a missing final brace.
    doc = read("{\\rtf1{\\fonttbl{\\f0 A;}}\\fs99999999999999999999\\f-7\\cf123456789 big"
               "\\b-99999999999 x\\'4\\'zz\\u99999999999 \\bin999999999999 {}}}");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    EXPECT_EQ(doc.paragraphs[0].runs[0].halfPoints, kMaxHalfPoints);
    EXPECT_TRUE(doc.paragraphs[0].runs[0].color.automatic);
    EXPECT_EQ(doc.paragraphs[0].runs[0].face, "");
    EXPECT_EQ(plain(read("{\\rtf1 open \\b bold")), "open bold|");
    EXPECT_EQ(plain(read("{\\rtf1 a}b\\par c}")), "a|") << "text after the document is ignored";
    EXPECT_EQ(plain(read("{\\rtf1 \\bin3 }}}x\\")), "x|") << "\\bin data is not structure";
    EXPECT_EQ(plain(read("{\\rtf1 {\\*\\unknown {nested \\par} text}{\\stylesheet{s;}}ok}")),
              "ok|");

    // Noise built from the format's own pieces never crashes nor hangs.
    const char* pieces[] = {"{",     "}",     "\\",       "\\b",       "\\u-1",      "\\'",
                            "\\'ff", "\\*",   "\\bin2 ",  "\\fonttbl", "\\colortbl", ";",
                            "\\f1",  "\\par", "\\uc9",    "x",         "\\red300",   "\xff",
                            "\\fs",  "\\cf2", "\\u55357 "};
    std::mt19937 rng(7);
    for (int n = 0; n < 3000; ++n) {
        std::string s = "{\\rtf1";
        for (int k = int(rng() % 60); k > 0; --k)
            s += pieces[rng() % std::size(pieces)];
        if (readRtf(s, doc, error)) (void)writeRtf(doc);
    }
}
