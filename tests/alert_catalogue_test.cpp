// The built-in message catalogue as compiled into the library: its header,
// the set of row numbers, the texts no other test prints, the type totals
// and the printf format of every text. (The build itself refuses rows out
// of order, unknown types, long lines and named numbers of the wrong type.)
#include "common/alert_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Catalogue {
    std::string header; // the comment lines, each with its line end
    std::map<unsigned long, std::pair<std::string, std::string>> rows; // number: type, text
};

// The comment lines and the rows ("number type text") of the built-in text.
const Catalogue &catalogue() {
    static const Catalogue c = [] {
        Catalogue c;
        std::istringstream in(std::string(alert_builtin_catalogue, alert_builtin_catalogue_size));
        static const std::regex row("\\s*([0-9]+)\\s+(\\S+)[ \t](.*)");
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("#"))
                c.header += line + "\n";
            else if (std::regex_match(line, m, row))
                c.rows[std::stoul(m[1])] = {m[2], m[3]};
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

TEST(AlertCatalogue, HeaderCarriesTitleLanguageFieldsAndOrderRule) {
    const std::string &header = catalogue().header;
    EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 16);
    for (const char *text :
         {"#  Error and warning messages\n#  for all\n#  Brisvale compiler "
          "applications\n#\n#  ENGLISH\n",
          "number type text", "F: fatal error", "E: error", "M: message",
          "-9 - 8: warning (value indicates level)", "#  errors must be in numeric order\n"})
        EXPECT_NE(header.find(text), std::string::npos) << text;
}

TEST(AlertCatalogue, NumbersAreExactlyTheListedSet) {
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
    std::vector<unsigned long> expected, found;
    for (const auto &range : kRanges)
        for (unsigned long n = range[0]; n <= range[1]; ++n)
            expected.push_back(n);
    for (const auto &row : catalogue().rows)
        found.push_back(row.first);
    EXPECT_EQ(found, expected);
}

// The rows the suite reports that no other test prints byte for byte.
TEST(AlertCatalogue, FixedRowsAreByteForByte) {
    const std::map<unsigned long, std::pair<std::string, std::string>> fixed = {
        {3, {"M", "malformed error information on line * in file *"}},
        {4,
         {"F", "VQ4 has encountered an internal error and must quit; contact Brisvale support "
               "with details"}},
        {5,
         {"F", "VQ4 has encountered an internal error and must quit; provide Brisvale support "
               "with the following details: %s"}},
        {296, {"F", "out of memory"}},
        {1502, {"E", "assertion failure: %s (%s:%d) "}},
        {1503, {"F", "assertion failure: %s (%s:%d) "}},
    };
    for (const auto &[number, row] : fixed)
        EXPECT_EQ(catalogue().rows.at(number), row) << "row " << number;
}

TEST(AlertCatalogue, TypeTotalsAndAPrintfFormatInEveryRow) {
    std::map<std::string, int> totals;
    for (const auto &[number, row] : catalogue().rows) {
        totals[std::regex_match(row.first, std::regex("-?[0-9]")) ? "W" : row.first]++;
        EXPECT_TRUE(printf_format_ok(row.second)) << "row " << number << ": " << row.second;
    }
    EXPECT_EQ(totals, (std::map<std::string, int>{{"E", 653}, {"F", 274}, {"M", 53}, {"W", 367}}));
    // The check itself tells good formats from bad ones.
    EXPECT_TRUE(printf_format_ok("%s %d%% %m 0x%08lx %-24s %+ld %#x %*d %.*s %6.2f %llu %zu %c"));
    for (const char *bad : {"trailing %", "%q", "%n", "%l alone", "%-", "%5"})
        EXPECT_FALSE(printf_format_ok(bad)) << bad;
}

} // namespace
