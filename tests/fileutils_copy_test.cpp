// Tests of the file copy, append and line-reading helpers.
#include "common/fileutils.h"

#include "tests/support.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

TEST(FileCopy, CopiesAndAppendsWholeFilesOfAnySize) {
    ScratchDir dir;
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += std::to_string(i * 7919) + (i % 13 == 0 ? "\n" : " ");
    std::string source = dir.write("big", big), dest = dir.write("dest", "old, longer contents\n");
    EXPECT_EQ(copyfile(source.c_str(), dest.c_str()), 1);
    EXPECT_EQ(read_text(dir.host("dest")), big); // copied as text, as the host writes it
    EXPECT_EQ(copyfile(dir.write("empty", "").c_str(), dest.c_str()), 1);
    EXPECT_EQ(read_file(dir.host("dest")), "");
    EXPECT_EQ(appendfile(dir.win("new").c_str(), source.c_str()), 1);
    EXPECT_EQ(appendfile(dir.win("new").c_str(), source.c_str()), 1);
    EXPECT_EQ(read_text(dir.host("new")), big + big);
}

TEST(FileCopy, RefusesWithoutTouchingTheDestination) {
    ScratchDir dir;
    dir.write("src", "source\n");
    dir.write("dest", "kept\n");
    dir.mkdir("adir");
    const struct {
        std::string source, destination;
    } cases[] = {
        {dir.win("src"), dir.win("src")},      // one path
        {dir.win("src"), dir.win(".\\src")},   // two spellings of one file
        {dir.win("missing"), dir.win("dest")}, // no source
        {dir.win("adir"), dir.win("dest")},    // a directory reads as nothing
        {dir.win("src"), dir.win("no\\dest")}, // destination cannot be opened
        {dir.win("src"), dir.win("adir")},     // nor can a directory
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source + " -> " + c.destination);
        EXPECT_EQ(copyfile(c.source.c_str(), c.destination.c_str()), 0);
        EXPECT_EQ(appendfile(c.destination.c_str(), c.source.c_str()), 0);
    }
    EXPECT_EQ(copyfile(nullptr, dir.win("dest").c_str()), 0);
    EXPECT_EQ(read_file(dir.host("src")), "source\n");
    EXPECT_EQ(read_file(dir.host("dest")), "kept\n");
    EXPECT_TRUE(fs::is_directory(dir.host("adir")));
}

// A copy whose writes fail part way (past a file size limit, in a child of
// this test program, or on a full device) is reported; it leaves no partial
// file, and a failed append cuts the file back to the length it had.
TEST(FileCopy, AWriteFailingPartWayLeavesNoPartialData) {
    ScratchDir dir;
    std::string source = dir.win("big"), old = dir.win("old"), fresh = dir.win("new");
    if (std::getenv("VQ4_COPY_SIZE_LIMIT") != nullptr) {
        EXPECT_EQ(copyfile(source.c_str(), fresh.c_str()), 0);
        EXPECT_EQ(copyfile(source.c_str(), dir.win("overwritten").c_str()), 0);
        EXPECT_EQ(appendfile(old.c_str(), source.c_str()), 0);
        EXPECT_EQ(copyfile(source.c_str(), "/dev/full"), 0); // a device stays as it is
        EXPECT_EQ(appendfile("/dev/full", source.c_str()), 0);
        return;
    }
    dir.write("big", std::string(20000, 'x'));
    dir.write("old", "kept\n");
    dir.write("overwritten", "old contents\n");
    std::string child = std::string("trap '' XFSZ; ulimit -f 8 && VQ4_COPY_SIZE_LIMIT=1 '") +
                        plat_pgmptr() + "' --gtest_filter=FileCopy.AWriteFailing*";
    EXPECT_EQ(std::system(child.c_str()), 0);
    EXPECT_FALSE(fs::exists(dir.host("new")) || fs::exists(dir.host("overwritten")));
    EXPECT_EQ(read_file(dir.host("old")), "kept\n");
}

struct LineCase {
    std::string text;
    std::vector<std::string> lines;
    std::vector<uint32_t> sizes;
};

TEST(LineReading, LinesOfAnyLengthComeBackWholeWithTheirSizes) {
    const std::string l148(148, 'a'), l149(149, 'b'), l298(298, 'c'), l400(400, 'd');
    const LineCase cases[] = {
        {l400 + "\n", {l400 + "\n"}, {450}},
        {l148 + "\n" + l149 + "\n", {l148 + "\n", l149 + "\n"}, {150, 300}},
        {l149, {l149}, {300}}, // a last line without its line feed
        {l298, {l298}, {450}}, // ... also at a multiple of the piece size
        {"x\r\ny\r\n", {"x\n", "y\n"}, {150, 150}},
        {l148 + "\r\n", {l148 + "\n"}, {150}}, // CR ends one piece, LF the next
        {l149 + "\r\n", {l149 + "\n"}, {300}},
        {"lone\rcr\n", {"lone\rcr\n"}, {150}},
        {"", {}, {}},
    };
    ScratchDir dir;
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20));
        dir.write("lines", c.text);
        FILE *in = std::fopen(dir.host("lines").string().c_str(), "r");
        ASSERT_NE(in, nullptr);
        for (size_t i = 0; i < c.lines.size(); ++i) {
            uint32_t length = 0, size = 0;
            char *line = getLineEx(in, &length, &size);
            ASSERT_NE(line, nullptr);
            EXPECT_EQ(line, c.lines[i]);
            EXPECT_EQ(length, c.lines[i].size());
            EXPECT_EQ(size, c.sizes[i]);
            std::free(line);
        }
        EXPECT_EQ(getLine(in), nullptr);
        std::fclose(in);
    }
}

} // namespace
