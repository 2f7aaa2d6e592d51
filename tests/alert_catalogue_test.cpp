// Checks of the built-in message catalogue as it is compiled into the
// library: header comments, the row-number set, the fixed rows, the type
// totals, line lengths and the printf formats of every text.
#include "common/alert_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kHeaderLines = 16;

struct Row {
    unsigned long number;
    std::string_view type; // the whole type token
    std::string_view text; // everything after the separator that ends the type
    std::string_view line;
};

std::string_view catalogue() {
    return {alert_builtin_catalogue, alert_builtin_catalogue_size};
}

// Lines without their '\n'; a text not ending in '\n' yields its tail as the
// last line, which the line-feed test reports.
std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Splits a row as the catalogue reader does: blanks, number token, blanks,
// type token, one separator character, text. Empty when a field is missing.
std::optional<Row> parse_row(std::string_view line) {
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < line.size() && is_blank(line[i]))
            ++i;
    };
    auto token = [&] {
        size_t start = i;
        while (i < line.size() && !is_blank(line[i]))
            ++i;
        return line.substr(start, i - start);
    };
    skip_blanks();
    std::string_view number = token();
    skip_blanks();
    std::string_view type = token();
    if (number.empty() || type.empty() || i >= line.size())
        return std::nullopt;
    for (char c : number)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return Row{std::strtoul(std::string(number).c_str(), nullptr, 10), type, line.substr(i + 1),
               line};
}

std::vector<Row> rows() {
    std::vector<Row> result;
    for (std::string_view line : split_lines(catalogue())) {
        if (line.empty() || line[0] == '#')
            continue;
        auto row = parse_row(line);
        EXPECT_TRUE(row) << "malformed row: \"" << line << "\"";
        if (row)
            result.push_back(*row);
    }
    return result;
}

// A warning's type token is a decimal level: an optional '-' and digits.
std::optional<long> warning_level(std::string_view type) {
    std::string_view digits = type.substr(type[0] == '-' ? 1 : 0);
    if (digits.empty())
        return std::nullopt;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return std::strtol(std::string(type).c_str(), nullptr, 10);
}

// True when every '%' of text starts a complete conversion that the reporter
// can hand to vsnprintf: "%%", "%m", or flags, width, precision, length and
// one conversion character ("%n" is refused: a message must never write).
bool printf_format_ok(std::string_view text) {
    static constexpr std::string_view flags = "-+ #0";
    static constexpr std::string_view conversions = "diouxXeEfFgGaAcsp";
    size_t i = 0;
    auto digits_or_star = [&] {
        if (i < text.size() && text[i] == '*') {
            ++i;
            return;
        }
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
    };
    while ((i = text.find('%', i)) != std::string_view::npos) {
        ++i;
        if (i < text.size() && (text[i] == '%' || text[i] == 'm')) {
            ++i;
            continue;
        }
        while (i < text.size() && flags.find(text[i]) != std::string_view::npos)
            ++i;
        digits_or_star();
        if (i < text.size() && text[i] == '.') {
            ++i;
            digits_or_star();
        }
        for (std::string_view length : {"hh", "ll", "h", "l", "j", "z", "t", "L"}) {
            if (text.substr(i, length.size()) == length) {
                i += length.size();
                break;
            }
        }
        if (i >= text.size() || conversions.find(text[i]) == std::string_view::npos)
            return false;
        ++i;
    }
    return true;
}

} // namespace

TEST(AlertCatalogueText, SizeMatchesTheTextAndEveryLineEndsWithALineFeed) {
    ASSERT_GT(alert_builtin_catalogue_size, 0u);
    EXPECT_EQ(std::strlen(alert_builtin_catalogue), alert_builtin_catalogue_size);
    EXPECT_EQ(catalogue().back(), '\n');
    EXPECT_EQ(catalogue().find('\r'), std::string_view::npos);
}

TEST(AlertCatalogueText, NoLineReachesTwoHundredFiftySixCharacters) {
    for (std::string_view line : split_lines(catalogue()))
        EXPECT_LT(line.size(), 256u) << line;
}

TEST(AlertCatalogueText, HoldsOnlyPrintableAsciiAndTabs) {
    for (std::string_view line : split_lines(catalogue()))
        for (char c : line)
            EXPECT_TRUE(c == '\t' || (c >= ' ' && c <= '~')) << line;
}

TEST(AlertCatalogueHeader, SixteenCommentLinesOpenTheTextAndNoneFollow) {
    auto lines = split_lines(catalogue());
    ASSERT_GT(lines.size(), kHeaderLines);
    for (size_t i = 0; i < lines.size(); ++i) {
        bool comment = !lines[i].empty() && lines[i][0] == '#';
        EXPECT_EQ(comment, i < kHeaderLines) << "line " << i + 1 << ": " << lines[i];
    }
}

TEST(AlertCatalogueHeader, CarriesTitleLanguageFieldSummaryAndOrderRule) {
    auto lines = split_lines(catalogue());
    ASSERT_GE(lines.size(), kHeaderLines);
    // Comment text without '#' and surrounding blanks.
    std::vector<std::string_view> header;
    for (size_t i = 0; i < kHeaderLines; ++i) {
        std::string_view text = lines[i].substr(1);
        while (!text.empty() && is_blank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && is_blank(text.back()))
            text.remove_suffix(1);
        header.push_back(text);
    }
    auto index_of = [&](std::string_view wanted) {
        for (size_t i = 0; i < header.size(); ++i)
            if (header[i] == wanted)
                return static_cast<long>(i);
        return -1L;
    };
    auto mentions = [&](std::string_view wanted) {
        for (std::string_view text : header)
            if (text.find(wanted) != std::string_view::npos)
                return true;
        return false;
    };
    long title = index_of("Error and warning messages");
    ASSERT_GE(title, 0);
    EXPECT_EQ(index_of("for all"), title + 1);
    EXPECT_EQ(index_of("Brisvale compiler applications"), title + 2);
    EXPECT_GE(index_of("ENGLISH"), 0);
    EXPECT_GE(index_of("errors must be in numeric order"), 0);
    for (std::string_view field : {"number", "type", "text", "F: fatal error", "E: error",
                                   "M: message", "-9 - 8: warning (value indicates level)"})
        EXPECT_TRUE(mentions(field)) << field;
}

TEST(AlertCatalogueRows, NumbersAreExactlyTheListedSetInAscendingOrder) {
    struct Range {
        unsigned long first, last;
    };
    static constexpr Range kRanges[] = {
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
    for (Range range : kRanges)
        for (unsigned long n = range.first; n <= range.last; ++n)
            expected.push_back(n);
    ASSERT_EQ(expected.size(), 1347u);

    std::vector<unsigned long> actual;
    for (const Row &row : rows())
        actual.push_back(row.number);
    EXPECT_EQ(actual.size(), expected.size());
    auto [got, want] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (got != actual.end() || want != expected.end())
        ADD_FAILURE() << "first difference: row "
                      << (got != actual.end() ? std::to_string(*got) : "none") << " where "
                      << (want != expected.end() ? std::to_string(*want) : "no row")
                      << " is expected";
}

TEST(AlertCatalogueRows, FixedRowsAreByteForByte) {
    struct Fixed {
        unsigned long number;
        std::string_view type, text;
    };
    static constexpr Fixed kFixed[] = {
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
        {2099, "E", "command file \"%s\" is already being expanded; it is not read again"},
    };
    auto all = rows();
    for (const Fixed &fixed : kFixed) {
        const Row *found = nullptr;
        for (const Row &row : all)
            if (row.number == fixed.number)
                found = &row;
        ASSERT_NE(found, nullptr) << "no row " << fixed.number;
        EXPECT_EQ(found->type, fixed.type) << "row " << fixed.number;
        EXPECT_EQ(found->text, fixed.text) << "row " << fixed.number;
    }
}

TEST(AlertCatalogueRows, TypeTotalsAreErrorsFatalsMessagesAndWarnings) {
    int errors = 0, fatals = 0, messages = 0, warnings = 0;
    for (const Row &row : rows()) {
        if (row.type == "E")
            ++errors;
        else if (row.type == "F")
            ++fatals;
        else if (row.type == "M")
            ++messages;
        else if (warning_level(row.type))
            ++warnings;
        else
            ADD_FAILURE() << "unknown type in: " << row.line;
    }
    EXPECT_EQ(errors, 653);
    EXPECT_EQ(fatals, 274);
    EXPECT_EQ(messages, 53);
    EXPECT_EQ(warnings, 367);
}

TEST(AlertCatalogueRows, WarningLevelsLieBetweenMinusNineAndNine) {
    for (const Row &row : rows()) {
        if (row.type == "E" || row.type == "F" || row.type == "M")
            continue;
        auto level = warning_level(row.type);
        ASSERT_TRUE(level) << row.line;
        EXPECT_GE(*level, -9) << row.line;
        EXPECT_LE(*level, 9) << row.line;
    }
}

TEST(AlertCatalogueRows, EveryRowHasAText) {
    for (const Row &row : rows())
        EXPECT_NE(row.text.find_first_not_of(" \t"), std::string_view::npos) << row.line;
}

TEST(AlertCatalogueRows, EveryTextIsAWellFormedPrintfFormat) {
    for (const Row &row : rows())
        EXPECT_TRUE(printf_format_ok(row.text)) << row.line;
}

// The format check itself must tell good formats from bad ones, or the test
// above proves nothing.
TEST(AlertCatalogueRows, FormatCheckAcceptsConversionsAndRejectsBrokenOnes) {
    struct Case {
        std::string_view text;
        bool ok;
    };
    static constexpr Case kCases[] = {
        {"plain text", true},
        {"%s and %d and %u", true},
        {"100%% done", true},
        {"can't open \"%s\": %m", true},
        {"0x%08lx %-24s %+ld %#x %*d %.*s %6.2f %llu %zu %hhx %c %p", true},
        {"trailing %", false},
        {"%q is no conversion", false},
        {"%n writes memory", false},
        {"%l alone", false},
        {"%-", false},
        {"%5", false},
    };
    for (const Case &c : kCases)
        EXPECT_EQ(printf_format_ok(c.text), c.ok) << c.text;
}
