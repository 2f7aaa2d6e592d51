// Product identity, tool paths, the language table and the line reader.
#include "common/registry.h"

#include "common/stringcache.h"
#include "tests/support.h"

#include <chrono>
#include <regex>

using namespace test_support;

namespace {

// (Which names are absolute, and how a name joins a directory, is the path
// functions' business and checked with them.)
TEST(RegMkpath, AbsoluteNamesStayRelativeOnesJoinTheKindsDirectory) {
    ScratchDir tree;
    tree.mkdir("vq4\\v1.0\\lum");
    vqinstdir_reset(tree.win("vq4\\v1.0\\bin\\vq4").c_str());
    std::string lum = tree.win("vq4\\v1.0\\lum");
    EXPECT_EQ(reg_mkpath(REG_DIR_BIN, "C:\\tools\\lumc.exe"), sc_intern("C:\\tools\\lumc.exe"));
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_BIN, "lumc")), lum + "\\bin\\lumc");
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_DAT, "x.msgs")), lum + "\\dat\\x.msgs");
    vqinstdir_reset(tree.win("elsewhere\\vq4").c_str());
    EXPECT_EQ(reg_mkpath(REG_DIR_BIN, "lumc"), nullptr);
    EXPECT_STREQ(reg_mkpath(REG_DIR_BIN, "D:\\lumc"), "D:\\lumc");
    vqinstdir_reset(nullptr);
}

TEST(RegLanguages, NamesAndCodesGiveTheirNumbersAndBack) {
    const std::pair<const char *, int> cases[] = {
        // clang-format off
        {"en", 9}, {"EN", 9}, {"eNgLiSh", 9}, {"German", 7}, {"Deutsch", 7}, {"DE", 7},
        {"fr", 12}, {"French", 12}, {"FRANCAIS", 12},
        {"es", 255}, {"", 255}, {"Engl", 255}, {"German;Deutsch", 255},
        // clang-format on
    };
    for (const auto &[name, number] : cases)
        EXPECT_EQ(reg_lang_num(name), number) << name;
    EXPECT_EQ(reg_lang_num(nullptr), 255);
    for (const auto &[number, code] :
         {std::pair{7, "de"}, {9, "en"}, {12, "fr"}, {255, "en"}, {0, "en"}, {8, "en"}})
        EXPECT_STREQ(reg_lang_code(number), code) << number;
    EXPECT_EQ(reg_default_lang(), 9);
}

// The banner lists version, date and build number; the build number is the
// time the library was built, not a date fixed when the build was
// configured: it lies within minutes before the archive was written.
TEST(RegIdentity, TheBannerAndTheBuildNumberShowTheTimeTheLibraryWasBuilt) {
    std::string digits = std::to_string(reg_build_number());
    EXPECT_TRUE(std::regex_match(reg_version(), std::regex("[0-9]+(\\.[0-9]+)+"))) << reg_version();
    EXPECT_TRUE(std::regex_match(reg_stamp_date, std::regex("[A-Z][a-z]{2} [0-9]{1,2} [0-9]{4}")))
        << reg_stamp_date;
    EXPECT_EQ(stdout_of(reg_banner), "\nProduct:\tVQ4\nComponent:\tvq4\nVersion:\t" +
                                         std::string(reg_version()) + " \nBuild date:\t" +
                                         reg_stamp_date + "\nRelease:\t\nBuild number:\t" + digits +
                                         "\n");
    ASSERT_TRUE(std::regex_match(
        digits, std::regex("[0-9]{4}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])[0-9]{6}")))
        << digits;
    if (std::getenv("SOURCE_DATE_EPOCH") != nullptr)
        GTEST_SKIP() << "SOURCE_DATE_EPOCH fixes the build number";
    using namespace std::chrono;
    auto part = [&](size_t at, size_t n) { return std::stoi(digits.substr(at, n)); };
    sys_seconds built = sys_days{year{part(0, 4)} / part(4, 2) / part(6, 2)} + hours{part(8, 2)} +
                        minutes{part(10, 2)} + seconds{part(12, 2)};
    auto archived = file_clock::to_sys(std::filesystem::last_write_time(VQ4_COMMON_LIBRARY));
    EXPECT_LE(built, archived + std::chrono::seconds(2));
    EXPECT_GE(built, archived - std::chrono::minutes(10));
}

// Each line is the caller's and lands in place too; at the end place keeps the last.
TEST(RegReadline, ReadsWholeLinesOfAnyLength) {
    ScratchDir tree;
    std::string long_line(3000, 'x');
    tree.write("in.txt", long_line + "\nlast");
    FILE *f = std::fopen(tree.host("in.txt").string().c_str(), "r");
    char *place = nullptr, *line = reg_readline(&place, f);
    EXPECT_EQ(line + std::string(), long_line + "\n");
    std::free(line);
    EXPECT_STREQ(line = reg_readline(&place, f), "last");
    EXPECT_EQ(place, line);
    EXPECT_EQ(reg_readline(&place, f), nullptr);
    EXPECT_EQ(place, line);
    std::free(line);
    std::fclose(f);
}

} // namespace
