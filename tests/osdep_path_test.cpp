// Path arithmetic of the operating-system layer: Windows rules on every host.
#include "common/osdep.h"
#include "tests/support.h"

#include <gtest/gtest.h>

using namespace test_support;

TEST(OsPathNormalizeTest, FollowsTheTable) {
    const std::pair<const char *, const char *> rows[] = {
        // clang-format off
        {"a//b/./c/../d", "a/b/d"}, {"C:\\", "C:\\"}, {"ab\\", "ab"}, {"a\\", "a\\"}, {"", ""},
        {"\\", "\\"}, {"\\\\\\/", "/"}, {"a\\.", "a"}, {"a\\..", ""}, {"a\\b\\..\\..\\c", "\\c"},
        {"..\\a", "..\\a"}, {".\\a", ".\\a"}, {"a\\.b\\..c", "a\\.b\\..c"},
        {"\\\\srv\\share\\.\\d", "\\srv\\share\\d"}, {"\\..\\a", "\\a"},
        // clang-format on
    };
    for (const auto &[in, out] : rows)
        EXPECT_EQ(take(os_path_normalize(in)), out) << "input " << in;
    EXPECT_EQ(os_path_normalize(nullptr), nullptr);
}

TEST(OsPathJoinTest, InsertsExactlyOneBackslash) {
    const std::tuple<const char *, const char *, const char *> rows[] = {
        // clang-format off
        {"dir\\", "\\file", "dir\\file"}, {"dir", "file", "dir\\file"}, {"dir", "", "dir\\"},
        {"dir\\\\", "\\\\file", "dir\\\\\\file"}, {"dir/", "file", "dir/\\file"},
        {"dir", nullptr, "dir\\"}, {"\\", "\\", "\\"}, {"", "file", "(null)"},
        {nullptr, "file", "(null)"},
        // clang-format on
    };
    for (const auto &[dir, name, out] : rows) {
        EXPECT_EQ(take(os_path_join(dir, name)), out);
        EXPECT_EQ(take(os_path_join3(0x10000, dir, name)), out);
    }
}

TEST(OsPathPartsTest, TailBaseDirStemAndExtensionFollowTheTable) {
    struct Row {
        const char *path, *tail, *dir, *stem_dot, *stem, *ext;
    } rows[] = {
        {"src\\main.c", "main.c", "src", "main.", "main", ".c"},
        {"a.d\\file", "file", "a.d", "file", "file", ".d\\file"},
        {"a/b.tar.gz", "b.tar.gz", "a", "b.tar.", "b.tar", ".gz"},
        {"a\\b/c", "b/c", "a", "b/c", "b/c", ""},
        {"C:x.y", "x.y", "C", "x.", "x", ".y"},
        {"plain", "plain", "(null)", "plain", "plain", ""},
        {"\\name", "name", "", "name", "name", ""},
        {"dir\\", "", "dir", "", "", ""},
        {"", "", "(null)", "", "", ""},
        {"\\\\//", "//", "\\", "//", "//", ""},
        {".", ".", "(null)", ".", "", "."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_STREQ(os_path_tail(row.path), row.tail);
        EXPECT_EQ(take(os_path_basename(row.path)), row.tail);
        EXPECT_EQ(take(os_path_dirname(row.path)), row.dir);
        EXPECT_EQ(take(os_path_stem_dot(row.path)), row.stem_dot);
        EXPECT_EQ(take(os_path_stem(row.path)), row.stem);
        EXPECT_STREQ(os_path_ext(row.path), row.ext);
    }
    for (char *(*part)(const char *) :
         {os_path_basename, os_path_dirname, os_path_stem, os_path_stem_dot})
        EXPECT_EQ(part(nullptr), nullptr);
    EXPECT_EQ(os_path_tail(nullptr), nullptr);
    EXPECT_STREQ(os_path_ext(nullptr), "");
}

TEST(OsPathAbsoluteTest, DrivesAndUncAreAbsoluteAndTheRestJoinsTheCurrentDirectory) {
    struct Row {
        const char *path;
        bool absolute;
    } rows[] = {{"C:", true},   {"C:\\x", true}, {"\\\\srv", true}, {"\\\\", true},
                {"\\x", false}, {"/tmp", false}, {"C", false},      {"", false},
                {"x:", true},   {"ab:", false},  {"\\", false},     {nullptr, false}};
    for (const Row &row : rows)
        EXPECT_EQ(os_path_is_absolute(row.path), row.absolute) << (row.path ? row.path : "(null)");
    std::string cwd = take(os_getcwd());
    EXPECT_EQ(take(os_path_absolute("C:\\a\\.\\b\\")), "C:\\a\\b");
    EXPECT_EQ(take(os_path_absolute("\\\\srv\\a\\..\\b")), "\\srv\\b");
    EXPECT_EQ(take(os_path_absolute("x\\y\\..\\z")), cwd + "\\x\\z");
    EXPECT_EQ(take(os_path_absolute("")), cwd);
    EXPECT_EQ(take(os_path_relative("x\\y")), "x\\y");
    EXPECT_EQ(take(os_path_relative("")), ".");
    EXPECT_EQ(take(os_path_relative("C:\\elsewhere\\f")), "C:\\elsewhere\\f");
}

TEST(OsPathLongTest, VeryLongPathsStayInBounds) {
    std::string many_separators(100000, '\\');
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "dir\\..\\";
    deep += "end";
    std::string long_name = std::string(70000, 'n') + ".ext";
    EXPECT_EQ(take(os_path_normalize(many_separators.c_str())), "\\");
    EXPECT_EQ(take(os_path_normalize(deep.c_str())), "\\end");
    EXPECT_EQ(take(os_path_dirname(many_separators.c_str())), std::string(99999, '\\'));
    EXPECT_EQ(take(os_path_stem(long_name.c_str())), std::string(70000, 'n'));
    EXPECT_EQ(take(os_path_join(long_name.c_str(), long_name.c_str())),
              long_name + "\\" + long_name);
    EXPECT_EQ(take(os_path_absolute(deep.c_str())), take(os_getcwd()) + "\\end");
}
