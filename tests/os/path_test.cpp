#include "os/path.h"

#include <gtest/gtest.h>

namespace gpslib::os {
namespace {

TEST(PathTest, JoinAddsBackslashUnlessDirEndsInSeparator) {
    const struct {
        const char *dir, *name, *joined, *native;
    } cases[] = {
        {"", "a.rmf", "a.rmf", "a.rmf"},
        {"/maps", "a.rmf", "/maps\\a.rmf", "/maps/a.rmf"},
        {"/maps/", "a.rmf", "/maps/a.rmf", "/maps/a.rmf"},
        {"/maps\\", "a.rmf", "/maps\\a.rmf", "/maps/a.rmf"},
        {"\\CompactFlash\\settings", "Debug", "\\CompactFlash\\settings\\Debug",
         "/CompactFlash/settings/Debug"},
        {"rel", "", "rel\\", "rel/"},
        {"/", "x", "/x", "/x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinPath(c.dir, c.name), c.joined) << c.dir << " + " << c.name;
        EXPECT_EQ(NativePath(JoinPath(c.dir, c.name)), c.native) << c.dir << " + " << c.name;
    }
    EXPECT_EQ(NativePath("a\\\\b//c\\..\\d"), "a//b//c/../d"); // Nothing but backslashes.
}

TEST(PathTest, Parts) {
    const struct {
        const char *path, *base, *dir, *ext, *stem;
        bool endsWithSeparator;
    } cases[] = {
        {"", "", "", "", "", false},
        {"/maps/Town.RMF", "Town.RMF", "/maps", ".rmf", "Town", false},
        {"a\\b/c.tar.GZ", "c.tar.GZ", "a\\b", ".gz", "c.tar", false},
        {"/maps/", "", "/maps", "", "", true},
        {"dir\\", "", "dir", "", "", true},
        {"/x", "x", "/", "", "x", false},
        {"/", "", "/", "", "", true},
        {"/home/.profile", ".profile", "/home", "", ".profile", false},
        {"a.b/noext", "noext", "a.b", "", "noext", false},
        {"trailing.", "trailing.", "", ".", "trailing", false},
        {"..", "..", "", "", "..", false},
        {"..a.b", "..a.b", "", ".b", "..a", false},
        {"stra\xC3\x9F"
         "e.\xC3\x84XT",
         "stra\xC3\x9F"
         "e.\xC3\x84XT",
         "", ".\xC3\x84xt",
         "stra\xC3\x9F"
         "e",
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BaseName(c.path), c.base) << c.path;
        EXPECT_EQ(DirName(c.path), c.dir) << c.path;
        EXPECT_EQ(Extension(c.path), c.ext) << c.path;
        EXPECT_EQ(StemOf(c.path), c.stem) << c.path;
        EXPECT_EQ(EndsWithSeparator(c.path), c.endsWithSeparator) << c.path;
    }
}

} // namespace
} // namespace gpslib::os
