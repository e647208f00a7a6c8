// Where the attribute definition file is: a drive letter through QORDA.INI's
// drive mapping, anything else as given.
#include <gtest/gtest.h>

#include <sstream>

#include "avdpath.h"

namespace {

qrd::IniFile ini(const std::string& text) {
    std::istringstream in(text);
    return qrd::IniFile::parse(in);
}

TEST(AvdPath, DrivesMapToTheirMountDirectoriesAndOtherPathsStay) {
    qrd::IniFile mapped = ini("[DriveMappings]\n"
                              "Z=MESSAGES@Sales@Demo,\\,/srv/z/\n"
                              "Y=DOCS@Sales@Demo,public\\docs\n"
                              "X=DOCS@Sales@Demo,a,b,/mnt/x\n");
    EXPECT_EQ(browse::localAvdPath("", mapped), "/srv/z/messages/qorda.avd");
    EXPECT_EQ(browse::localAvdPath("z:\\messages\\qorda.avd", mapped), "/srv/z/messages/qorda.avd");
    EXPECT_EQ(browse::localAvdPath("X:\\\\deep\\f.avd", mapped), "/mnt/x/deep/f.avd");
    // No mount directory, no mapping, or not a drive path: unchanged.
    EXPECT_EQ(browse::localAvdPath("y:\\f.avd", mapped), "y:\\f.avd");
    EXPECT_EQ(browse::localAvdPath("q:\\f.avd", mapped), "q:\\f.avd");
    EXPECT_EQ(browse::localAvdPath("/home/a/f.avd", mapped), "/home/a/f.avd");
    EXPECT_EQ(browse::localAvdPath("", ini("")), "z:\\messages\\qorda.avd");
}

} // namespace
