// Checks of the built-in message catalogue as it is compiled into the
// library: header comments, the row-number set, the fixed rows, the type
// totals, line lengths and the printf formats of every text.
#include "common/alert_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string type, text; // the whole type token; the text after its separator
};

struct Catalogue {
    std::vector<std::string> lines, header; // header: comment texts without '#' and blanks
    std::map<unsigned long, Row> rows;
    std::vector<unsigned long> numbers; // in the order of the text
};

// Splits the text into lines and rows as the catalogue reader does: blanks,
// number, blanks, type token, one separator character, text.
const Catalogue &catalogue() {
    static const Catalogue c = [] {
        Catalogue c;
        std::istringstream in(std::string(alert_builtin_catalogue, alert_builtin_catalogue_size));
        for (std::string line; std::getline(in, line);) {
            c.lines.push_back(line);
            if (line.empty() || line[0] == '#') {
                std::string text = std::regex_replace(line, std::regex("^#[ \t]*|[ \t]*$"), "");
                c.header.push_back(text);
                continue;
            }
            char number[16] = "", type[16] = "";
            int end = 0;
            bool ok = std::sscanf(line.c_str(), " %15[0-9] %15s%n", number, type, &end) == 2 &&
                      static_cast<size_t>(end) < line.size();
            EXPECT_TRUE(ok) << "malformed row: " << line;
            if (ok) {
                c.numbers.push_back(std::stoul(number));
                c.rows[c.numbers.back()] = {type, line.substr(end + 1)};
            }
        }
        return c;
    }();
    return c;
}

// True when every '%' of text starts a conversion that vsnprintf takes, or
// "%%" or "%m" ("%n" is refused: a message must never write).
bool printf_format_ok(const std::string &text) {
    static const std::regex conversion(
        "%(%|m|[-+ #0]*(\\*|[0-9]+)?(\\.(\\*|[0-9]*))?(hh|ll|[hljztL])?[diouxXeEfFgGaAcsp])");
    return std::regex_replace(text, conversion, "").find('%') == std::string::npos;
}

TEST(AlertCatalogue, TextIsPrintableAsciiInLinesBelow256Characters) {
    ASSERT_GT(alert_builtin_catalogue_size, 0u);
    EXPECT_EQ(std::strlen(alert_builtin_catalogue), alert_builtin_catalogue_size);
    EXPECT_EQ(alert_builtin_catalogue[alert_builtin_catalogue_size - 1], '\n');
    for (const std::string &line : catalogue().lines) {
        EXPECT_LT(line.size(), 256u) << line;
        for (char c : line)
            EXPECT_TRUE(c == '\t' || (c >= ' ' && c <= '~')) << line;
    }
}

TEST(AlertCatalogue, SixteenHeaderLinesCarryTitleLanguageFieldsAndOrderRule) {
    const Catalogue &c = catalogue();
    ASSERT_EQ(c.header.size(), 16u);
    for (size_t i = 0; i < c.header.size(); ++i)
        EXPECT_EQ(c.lines[i][0], '#') << "line " << i + 1 << " is no header comment";
    std::string all;
    for (const std::string &text : c.header)
        all += text + "\n";
    EXPECT_NE(all.find("\nError and warning messages\nfor all\nBrisvale compiler applications\n"),
              std::string::npos)
        << all;
    for (const char *line : {"ENGLISH", "errors must be in numeric order"})
        EXPECT_NE(all.find("\n" + std::string(line) + "\n"), std::string::npos) << line;
    for (const char *field : {"number", "type", "text", "F: fatal error", "E: error", "M: message",
                              "-9 - 8: warning (value indicates level)"})
        EXPECT_NE(all.find(field), std::string::npos) << field;
}

TEST(AlertCatalogue, NumbersAreExactlyTheListedSetInAscendingOrder) {
    static constexpr unsigned long kRanges[][2] = {
        {1, 5},       {100, 135},   {137, 141},   {144, 144},   {146, 153},   {155, 159},
        {161, 177},   {179, 234},   {236, 249},   {251, 303},   {306, 340},   {343, 350},
        {352, 376},   {378, 384},   {387, 395},   {397, 398},   {400, 400},   {402, 410},
        {412, 425},   {427, 432},   {434, 456},   {459, 461},   {463, 495},   {497, 516},
        {520, 526},   {528, 529},   {593, 596},   {599, 614},   {616, 616},   {618, 627},
        {629, 671},   {673, 674},   {677, 718},   {720, 724},   {726, 755},   {757, 769},
        {772, 774},   {776, 777},   {779, 788},   {790, 830},   {832, 836},   {838, 878},
        {880, 884},   {889, 897},   {899, 900},   {902, 902},   {904, 908},   {911, 915},
        {917, 920},   {922, 931},   {934, 942},   {944, 945},   {947, 958},   {960, 960},
        {962, 976},   {978, 996},   {1000, 1000}, {1003, 1007}, {1009, 1022}, {1024, 1062},
        {1064, 1064}, {1081, 1082}, {1085, 1091}, {1094, 1098}, {1104, 1104}, {1109, 1109},
        {1118, 1119}, {1121, 1121}, {1137, 1139}, {1141, 1148}, {1150, 1166}, {1168, 1265},
        {1267, 1530}, {1600, 1602}, {1604, 1605}, {2000, 2101},
    };
    std::vector<unsigned long> expected;
    for (const auto &range : kRanges)
        for (unsigned long n = range[0]; n <= range[1]; ++n)
            expected.push_back(n);
    ASSERT_EQ(expected.size(), 1347u);
    EXPECT_EQ(catalogue().numbers, expected);
}

TEST(AlertCatalogue, FixedRowsAreByteForByte) {
    const struct {
        unsigned long number;
        const char *type, *text;
    } kFixed[] = {
        {1, "M", "too many errors (%u)"},
        {2, "M", "error/warning (%u) generated but no description available"},
        {3, "M", "malformed error information on line * in file *"},
        {4, "F",
         "VQ4 has encountered an internal error and must quit; contact Brisvale support with "
         "details"},
        {5, "F",
         "VQ4 has encountered an internal error and must quit; provide Brisvale support with "
         "the following details: %s"},
        {141, "F", "can't open %s file \"%s\": %m"},
        {296, "F", "out of memory"},
        {900, "F", "exec failed: %s"},
        {908, "E", "exit status = %d"},
        {917, "E", "argument too long"},
        {1443, "F", "unknown --EXT sub-option \"%s\""},
        {1444, "F", "respecified C extension from \"%s\" to \"%s\" "},
        {1501, "0", "assertion failure: %s (%s:%d) "},
        {1502, "E", "assertion failure: %s (%s:%d) "},
        {1503, "F", "assertion failure: %s (%s:%d) "},
        {2082, "F", "can't create temporary file"},
        {2089, "2", "command file \"%s\" is already being expanded; it is not read again"},
    };
    for (const auto &fixed : kFixed) {
        auto row = catalogue().rows.find(fixed.number);
        ASSERT_NE(row, catalogue().rows.end()) << "no row " << fixed.number;
        EXPECT_EQ(row->second.type, fixed.type) << "row " << fixed.number;
        EXPECT_EQ(row->second.text, fixed.text) << "row " << fixed.number;
    }
}

TEST(AlertCatalogue, TypeTotalsLevelsAndTextsOfEveryRow) {
    std::map<std::string, int> totals;
    for (const auto &[number, row] : catalogue().rows) {
        bool warning = std::regex_match(row.type, std::regex("-?[0-9]"));
        totals[warning ? "W" : row.type]++;
        EXPECT_TRUE(warning || row.type == "E" || row.type == "F" || row.type == "M")
            << "row " << number << " has type " << row.type;
        EXPECT_NE(row.text.find_first_not_of(" \t"), std::string::npos) << "row " << number;
        EXPECT_TRUE(printf_format_ok(row.text)) << "row " << number << ": " << row.text;
    }
    EXPECT_EQ(totals, (std::map<std::string, int>{{"E", 653}, {"F", 274}, {"M", 53}, {"W", 367}}));
}

// The format check must tell good formats from bad ones, or the test above
// proves nothing.
TEST(AlertCatalogue, FormatCheckAcceptsConversionsAndRejectsBrokenOnes) {
    for (const char *good : {"plain text", "%s and %d and %u", "100%% done", "open \"%s\": %m",
                             "0x%08lx %-24s %+ld %#x %*d %.*s %6.2f %llu %zu %hhx %c %p"})
        EXPECT_TRUE(printf_format_ok(good)) << good;
    for (const char *bad :
         {"trailing %", "%q is no conversion", "%n writes memory", "%l alone", "%-", "%5"})
        EXPECT_FALSE(printf_format_ok(bad)) << bad;
}

} // namespace
