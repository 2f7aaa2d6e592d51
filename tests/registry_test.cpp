// Product identity, tool paths, the language table and the line reader.
#include "common/registry.h"

#include "common/stringcache.h"
#include "tests/alert_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

namespace {

class RegMkpath : public testing::Test {
  protected:
    void SetUp() override {
        tree.mkdir("vq4\\v1.0\\lum");
        vqinstdir_reset(tree.path("vq4\\v1.0\\bin\\vq4").c_str());
    }
    void TearDown() override { vqinstdir_reset(nullptr); }
    std::string bin() const { return tree.path("vq4\\v1.0\\lum\\bin"); }
    TempTree tree;
};

TEST_F(RegMkpath, AbsoluteNamesComeBackUnchangedAndInterned) {
    for (const char *name : {"C:\\tools\\lumc.exe", "c:lumc", "\\\\server\\share\\lumc"}) {
        const char *path = reg_mkpath(REG_DIR_BIN, name);
        EXPECT_STREQ(path, name);
        EXPECT_EQ(path, sc_intern(name));
    }
}

TEST_F(RegMkpath, RelativeNamesAreJoinedToTheBinDirectory) {
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_BIN, "lumc")), bin() + "\\lumc");
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_BIN, "\\lumc18d")), bin() + "\\lumc18d");
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_BIN, "/lumc")), bin() + "\\/lumc");
    EXPECT_EQ(std::string(reg_mkpath(REG_DIR_DAT, "x.msgs")),
              tree.path("vq4\\v1.0\\lum\\dat\\x.msgs"));
}

TEST_F(RegMkpath, NoInstallationGivesNull) {
    vqinstdir_reset(tree.path("elsewhere\\vq4").c_str());
    EXPECT_EQ(reg_mkpath(REG_DIR_BIN, "lumc"), nullptr);
    EXPECT_STREQ(reg_mkpath(REG_DIR_BIN, "D:\\lumc"), "D:\\lumc");
}

struct LanguageCase {
    const char *name;
    int number;
};

TEST(RegLanguages, NamesAndCodesGiveTheirNumbers) {
    const LanguageCase cases[] = {
        {"en", 9},     {"EN", 9},      {"English", 9},   {"eNgLiSh", 9},
        {"German", 7}, {"Deutsch", 7}, {"de", 7},        {"DE", 7},
        {"fr", 12},    {"French", 12}, {"Francais", 12}, {"FRANCAIS", 12},
        {"es", 255},   {"", 255},      {"Engl", 255},    {"German;Deutsch", 255},
    };
    for (const LanguageCase &c : cases)
        EXPECT_EQ(reg_lang_num(c.name), c.number) << c.name;
    EXPECT_EQ(reg_lang_num(nullptr), 255);
}

TEST(RegLanguages, NumbersGiveTheirCodes) {
    EXPECT_STREQ(reg_lang_code(7), "de");
    EXPECT_STREQ(reg_lang_code(9), "en");
    EXPECT_STREQ(reg_lang_code(12), "fr");
    EXPECT_STREQ(reg_lang_code(255), "en");
    EXPECT_STREQ(reg_lang_code(0), "en");
    EXPECT_STREQ(reg_lang_code(8), "en");
    EXPECT_EQ(reg_default_lang(), 9);
}

TEST(RegLanguages, CodesRoundTripThroughNumbers) {
    for (int number : {7, 9, 12})
        EXPECT_EQ(reg_lang_num(reg_lang_code(number)), number);
}

TEST(RegIdentity, VersionIsDigitsAndDots) {
    EXPECT_TRUE(std::regex_match(reg_version(), std::regex("[0-9]+(\\.[0-9]+)+")));
    EXPECT_EQ(reg_version(), sc_intern(reg_version()));
}

TEST(RegIdentity, BuildNumberIsADateAndTime) {
    std::string digits = std::to_string(reg_build_number());
    ASSERT_TRUE(std::regex_match(digits, std::regex("[0-9]{14}"))) << digits;
    int month = std::stoi(digits.substr(4, 2));
    int day = std::stoi(digits.substr(6, 2));
    EXPECT_TRUE(month >= 1 && month <= 12);
    EXPECT_TRUE(day >= 1 && day <= 31);
}

TEST(RegIdentity, BannerListsTheIdentity) {
    testing::internal::CaptureStdout();
    reg_banner();
    std::string out = testing::internal::GetCapturedStdout();
    std::string expected_head = "\nProduct:\tVQ4\nComponent:\tvq4\nVersion:\t" +
                                std::string(reg_version()) + " \nBuild date:\t";
    EXPECT_EQ(out.substr(0, expected_head.size()), expected_head);
    std::regex layout("\nProduct:\tVQ4\nComponent:\tvq4\nVersion:\t[0-9.]+ \n"
                      "Build date:\t[A-Z][a-z]{2} [0-9]{1,2} [0-9]{4}\nRelease:\t\n"
                      "Build number:\t" +
                      std::to_string(reg_build_number()) + "\n");
    EXPECT_TRUE(std::regex_match(out, layout)) << out;
}

TEST(RegReadline, ReadsWholeLinesOfAnyLength) {
    TempTree tree;
    std::string long_line(3000, 'x');
    tree.write("in.txt", "short\n" + long_line + "\nlast");
    FILE *f = std::fopen(tree.host("in.txt").c_str(), "r");
    ASSERT_NE(f, nullptr);
    char *place = nullptr;
    char *line = reg_readline(&place, f);
    EXPECT_STREQ(line, "short\n");
    EXPECT_EQ(place, line);
    std::free(line);
    line = reg_readline(&place, f);
    EXPECT_EQ(std::string(line), long_line + "\n");
    std::free(line);
    line = reg_readline(&place, f);
    EXPECT_STREQ(line, "last");
    char *last = line;
    EXPECT_EQ(reg_readline(&place, f), nullptr);
    EXPECT_EQ(place, last);
    std::free(last);
    std::fclose(f);
}

} // namespace
