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
#include <tuple>

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

// The header's lines; the row numbers from 1 to 2101 with gaps, whose count
// and sum change when any one is renumbered, dropped or added; the rows the
// suite reports that no other test prints byte for byte.
TEST(AlertCatalogue, HeaderNumbersAndFixedRows) {
    const std::string &header = catalogue().header;
    EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 16);
    for (const char *text :
         {"#  Error and warning messages\n#  for all\n#  Brisvale compiler "
          "applications\n#\n#  ENGLISH\n",
          "number type text", "F: fatal error", "E: error", "M: message",
          "-9 - 8: warning (value indicates level)", "#  errors must be in numeric order\n"})
        EXPECT_NE(header.find(text), std::string::npos) << text;
    unsigned long sum = 0;
    for (const auto &row : catalogue().rows)
        sum += row.first;
    EXPECT_EQ(std::tuple(catalogue().rows.begin()->first, catalogue().rows.rbegin()->first,
                         catalogue().rows.size(), sum),
              std::tuple(1ul, 2101ul, size_t(1347), 1235864ul));
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
    // The check itself refuses bad formats.
    for (const char *bad : {"trailing %", "%q", "%n", "%l alone", "%-", "%5"})
        EXPECT_FALSE(printf_format_ok(bad)) << bad;
}

} // namespace
