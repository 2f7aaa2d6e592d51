// Tests of the file copy, append and line-reading helpers.
#include "common/fileutils.h"

#include "tests/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace test_support;

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path &path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void put(const fs::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(FileCopy, CopiesAndAppendsWholeFilesOfAnySize) {
    ScratchDir dir;
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += std::to_string(i * 7919) + (i % 13 == 0 ? "\n" : " ");
    put(dir.path() / "big", big);
    put(dir.path() / "empty", "");
    put(dir.path() / "dest", "old contents that are longer\n");

    EXPECT_EQ(copyfile(dir.win("big").c_str(), dir.win("dest").c_str()), 1);
    EXPECT_EQ(contents(dir.path() / "dest"), big);
    EXPECT_EQ(copyfile(dir.win("empty").c_str(), dir.win("dest").c_str()), 1);
    EXPECT_EQ(contents(dir.path() / "dest"), "");
    EXPECT_EQ(appendfile(dir.win("new").c_str(), dir.win("big").c_str()), 1);
    EXPECT_EQ(appendfile(dir.win("new").c_str(), dir.win("big").c_str()), 1);
    EXPECT_EQ(contents(dir.path() / "new"), big + big);
}

TEST(FileCopy, RefusesWithoutTouchingTheDestination) {
    ScratchDir dir;
    put(dir.path() / "src", "source\n");
    put(dir.path() / "dest", "kept\n");
    fs::create_directory(dir.path() / "adir");
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
    EXPECT_EQ(contents(dir.path() / "src"), "source\n");
    EXPECT_EQ(contents(dir.path() / "dest"), "kept\n");
    EXPECT_TRUE(fs::is_directory(dir.path() / "adir"));
}

TEST(FileCopy, AFailedWriteIsReportedAndADeviceDestinationStays) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to make writes fail";
    ScratchDir dir;
    put(dir.path() / "src", std::string(4096, 'x'));
    EXPECT_EQ(copyfile(dir.win("src").c_str(), "/dev/full"), 0);
    EXPECT_EQ(appendfile("/dev/full", dir.win("src").c_str()), 0);
    EXPECT_TRUE(fs::exists("/dev/full"));
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
        put(dir.path() / "lines", c.text);
        FILE *in = std::fopen((dir.path() / "lines").string().c_str(), "r");
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
