// URL forms of web items, the temporary shortcut, and a document's name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "items/docname.h"
#include "items/urlforms.h"
#include "testfiles.h"

namespace {

TEST(UrlForms, KnownFormsAreAcceptedWhateverTheirCase) {
    for (const char* url : {"http://a", "HTTPS://a", "WWW.example.org", "ftp://f", "news:comp",
                            "File:x", "mailto://bob", "x-exec://run", "Prospero://p"})
        EXPECT_TRUE(USRIsKnownUrlForm(url)) << url;
    for (const char* url : {"", "intranet/home", "mailto:bob", "ww.example.org", " http://a"})
        EXPECT_FALSE(USRIsKnownUrlForm(url)) << url;
}

TEST(UrlForms, FileUrlsLoseTheirSlashesAndABarBecomesTheDriveColon) {
    EXPECT_EQ(USRShortcutUrl("file:///C|/docs/a.htm"), "file:C:/docs/a.htm");
    EXPECT_EQ(USRShortcutUrl("FILE://server/share/a.htm"), "file:server/share/a.htm");
    EXPECT_EQ(USRShortcutUrl("file:/tmp/a|b"), "file:tmp/a|b");
    // Nothing, or one character, after the slashes: unchanged.
    EXPECT_EQ(USRShortcutUrl("file:///"), "file:///");
    EXPECT_EQ(USRShortcutUrl("file:///x"), "file:///x");
    EXPECT_EQ(USRShortcutUrl("http://a|b"), "http://a|b");
    EXPECT_EQ(USRShortcutText("http://a"), "[InternetShortcut]\r\nURL=http://a");
}

TEST(UrlForms, TheShortcutIsAPrivateFileThatFollowsNoLink) {
    const std::string& path = USRTemporaryShortcutPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(std::filesystem::path(path).filename(), "TmpUrl.Url");
    struct stat st {};
    ASSERT_EQ(stat(std::filesystem::path(path).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    long e = 0;
    ASSERT_TRUE(USRWriteTemporaryShortcut("http://a", e)) << e;
    EXPECT_EQ(deskfiles::readFile(path), "[InternetShortcut]\r\nURL=http://a");
    USRRemoveTemporaryShortcut();
    // A link planted in its place is not followed.
    std::string target = std::filesystem::path(path).parent_path() / "planted";
    std::filesystem::create_symlink(target, path);
    EXPECT_FALSE(USRWriteTemporaryShortcut("http://b", e));
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(path);
}

TEST(DocumentNames, ANameIsCutToFiftyCharactersNotBytes) {
    EXPECT_EQ(USRDocumentNameFor("\\\\SVC\\docs\\a b.doc"), "a b.doc");
    std::string longName = "Quarterly results for the whole year 1996 and some more.doc";
    EXPECT_EQ(USRDocumentNameFor("/mnt/f/" + longName), longName.substr(0, 50));
    std::string accented;
    for (int i = 0; i < 60; ++i)
        accented += "\xC3\xA9"; // é
    std::string cut = USRDocumentNameFor("/x/" + accented);
    EXPECT_EQ(cut.size(), 100u);
}

} // namespace
