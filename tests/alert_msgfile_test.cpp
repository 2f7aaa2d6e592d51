// The catalogue reader and message files: parsing, malformed rows, finding
// and ordering message files, merging with the built-in rows and loading.
#include "common/alert.h"

#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "tests/alert_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string g_lines;
int capture(const char *line) {
    g_lines += line;
    return 1;
}

std::string malformed(unsigned line, const std::string &file) {
    return "Malformed error information on line " + std::to_string(line) + ", in file " + file +
           "\n\n";
}

struct RecordDeleter {
    void operator()(alert_record *r) const { std::free(r); }
};
using Record = std::unique_ptr<alert_record, RecordDeleter>;
Record lookup(uint32_t number) {
    return Record(alert_lookup(number));
}

// A vector of records owned by the test.
struct Table {
    vec *v = vec_create(__FILE__, __LINE__);
    ~Table() {
        for (uint32_t i = 0; i < vec_size(v); ++i)
            std::free(vec_get(v, i));
        vec_destroy(v);
    }
    const alert_record *at(uint32_t n) const {
        return static_cast<const alert_record *>(vec_get(v, n));
    }
};

uint32_t parse(const std::string &text, Table &table) {
    return alert_parse_catalogue(text.data(), static_cast<uint32_t>(text.size()), "t.msgs",
                                 table.v);
}

// An installation <root>\vq4\v1\lum with its data directory; the program
// runs from <root>\vq4\v1\bin.
class MessageFiles : public testing::Test {
  protected:
    void SetUp() override {
        tree.mkdir("vq4\\v1\\lum\\dat");
        vqinstdir_reset(tree.path("vq4\\v1\\bin\\vq4").c_str());
        alert_reset_for_tests();
        g_lines.clear();
        alert_set_output(capture);
    }
    void TearDown() override {
        alert_reset_for_tests();
        vqinstdir_reset(nullptr);
    }
    std::string dat(const std::string &name) const { return "vq4\\v1\\lum\\dat\\" + name; }
    TempTree tree;
};

// ---------------------------------------------------------------------------
// Parsing rows
// ---------------------------------------------------------------------------

TEST_F(MessageFiles, RowsGiveTypeLevelAndText) {
    Table t;
    EXPECT_EQ(parse("# comment\n"
                    "1 F fatal %s\n"
                    "2\tE\terror\n"
                    "  3 m message\n"
                    "4 -3 minus three\n"
                    "5 7x seven\n"
                    "6 - dash\n"
                    "7   M   abc\n"
                    "8 e trailing blank \r\n"
                    "10000 M top",
                    t),
              10000u);
    EXPECT_EQ(g_lines, "");
    struct Expect {
        uint32_t number, type;
        int32_t level;
        const char *text;
    };
    const Expect rows[] = {
        {1, ALERT_FATAL, 0, "fatal %s"},  {2, ALERT_ERROR, 0, "error"},
        {3, ALERT_MESSAGE, 0, "message"}, {4, ALERT_WARNING, -3, "minus three"},
        {5, ALERT_WARNING, 7, "seven"},   {6, ALERT_WARNING, 0, "dash"},
        {7, ALERT_MESSAGE, 0, "  abc"},   {8, ALERT_ERROR, 0, "trailing blank "},
        {10000, ALERT_MESSAGE, 0, "top"},
    };
    for (const Expect &e : rows) {
        const alert_record *r = t.at(e.number);
        ASSERT_NE(r, nullptr) << e.number;
        EXPECT_EQ(r->number, e.number);
        EXPECT_EQ(r->type, e.type) << e.number;
        EXPECT_EQ(r->level, e.level) << e.number;
        EXPECT_STREQ(r->text, e.text) << e.number;
        EXPECT_EQ(r->text, sc_intern(e.text));
    }
    EXPECT_EQ(t.at(9), nullptr);
}

TEST_F(MessageFiles, LaterRowReplacesAnEarlierOne) {
    Table t;
    parse("5 E first\n5 M second\n", t);
    EXPECT_STREQ(t.at(5)->text, "second");
    EXPECT_EQ(t.at(5)->type, static_cast<uint32_t>(ALERT_MESSAGE));
}

struct MalformedCase {
    const char *name;
    std::string text;
    std::vector<unsigned> reported_lines;
    bool stored; // row 5 stored anyway
};

TEST_F(MessageFiles, MalformedRowsAreReportedAndNeverCrash) {
    const MalformedCase cases[] = {
        {"no number", "abc M text\n", {1}, false},
        {"number above 10000", "10001 M text\n", {1}, false},
        {"negative number", "-5 M text\n", {1}, false},
        {"no type", "5\n", {1}, false},
        {"no type after blanks", "5   \n", {1}, false},
        {"no text", "5 M\n", {1}, false},
        {"unknown type", "5 X text\n", {1}, true},
        {"empty line", "\n5 M ok\n", {1}, true},
        {"blank before hash", " # not a comment\n", {1}, false},
        {"binary bytes", std::string("\x01\xff\x80 \x02\n5 M a\0b\n", 14), {1}, true},
        {"nul in number", std::string("5\0 M x\n", 7), {1}, false},
    };
    for (const MalformedCase &c : cases) {
        g_lines.clear();
        Table t;
        parse(c.text, t);
        std::string expected;
        for (unsigned line : c.reported_lines)
            expected += malformed(line, "t.msgs");
        EXPECT_EQ(g_lines, expected) << c.name;
        EXPECT_EQ(t.at(5) != nullptr, c.stored) << c.name;
    }
}

TEST_F(MessageFiles, UnknownTypeRowIsStoredWithTypeZero) {
    Table t;
    parse("5 X text\n", t);
    ASSERT_NE(t.at(5), nullptr);
    EXPECT_EQ(t.at(5)->type, static_cast<uint32_t>(ALERT_UNKNOWN));
    EXPECT_STREQ(t.at(5)->text, "text");
}

TEST_F(MessageFiles, LongLinesAreReadInPiecesOf255) {
    Table t;
    std::string row = "5 M " + std::string(251, 'a'); // exactly 255 characters
    parse(row + "\n6 M next\n", t);
    EXPECT_EQ(g_lines, malformed(2, "t.msgs")); // the newline alone is an empty line
    EXPECT_EQ(std::string(t.at(5)->text), std::string(251, 'a'));
    EXPECT_STREQ(t.at(6)->text, "next");

    g_lines.clear();
    Table t2;
    std::string tail = "7 M tail";
    parse("5 M " + std::string(251, 'b') + tail + "\n", t2);
    EXPECT_EQ(g_lines, "");
    EXPECT_STREQ(t2.at(7)->text, "tail");

    g_lines.clear();
    Table t3;
    parse(std::string(1000, 'z') + "\n", t3);
    EXPECT_EQ(g_lines, malformed(1, "t.msgs") + malformed(2, "t.msgs") + malformed(3, "t.msgs") +
                           malformed(4, "t.msgs"));
}

TEST_F(MessageFiles, EmptyTextParsesToNothing) {
    Table t;
    EXPECT_EQ(parse("", t), 0u);
    EXPECT_EQ(vec_size(t.v), 0u);
    EXPECT_EQ(g_lines, "");
}

// ---------------------------------------------------------------------------
// Versions, finding and ordering
// ---------------------------------------------------------------------------

TEST(MsgFileVersion, LeadingDigitsOfTheBaseName) {
    struct Case {
        const char *path;
        uint64_t version;
    } cases[] = {
        {"20240101120000_en.msgs", 20240101120000ull},
        {"C:\\x\\dat\\20990101000000_en.msgs", 20990101000000ull},
        {"/x/y/123_de.msgs", 123},
        {"en_msgs.txt", 0},
        {"dir\\_en.msgs", 0},
        {"7.msgs", 7},
        {"12\\x_en.msgs", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(getMsgFileVersion(c.path), c.version) << c.path;
}

TEST_F(MessageFiles, FindsFilesOfTheLanguageOnly) {
    tree.write(dat("20240101000000_en.msgs"), "");
    tree.write(dat("en_msgs.txt"), "");
    tree.write(dat("20240101000000_de.msgs"), "");
    tree.write(dat("de_msgs.txt"), "");
    tree.write(dat("x_en.msgs.bak"), "");
    tree.write(dat("EN_MSGS.TXT"), "");
    vec *list = vec_create(__FILE__, __LINE__);
    std::string dir = tree.path("vq4\\v1\\lum\\dat");
    EXPECT_EQ(findMsgFiles(dir.c_str(), REG_LANG_NONE, list), 2u);
    EXPECT_EQ(findMsgFiles((dir + "\\").c_str(), REG_LANG_GERMAN, list), 2u);
    std::vector<std::string> found;
    for (uint32_t i = 0; i < vec_size(list); ++i) {
        found.emplace_back(static_cast<char *>(vec_get(list, i)));
        std::free(vec_get(list, i));
    }
    std::sort(found.begin(), found.begin() + 2);
    std::sort(found.begin() + 2, found.end());
    EXPECT_EQ(found,
              (std::vector<std::string>{dir + "\\20240101000000_en.msgs", dir + "\\en_msgs.txt",
                                        dir + "\\20240101000000_de.msgs", dir + "\\de_msgs.txt"}));
    EXPECT_EQ(findMsgFiles(tree.path("missing").c_str(), REG_LANG_NONE, list), 0u);
    EXPECT_EQ(findMsgFiles(nullptr, REG_LANG_NONE, list), 0u);
    EXPECT_EQ(findMsgFiles(dir.c_str(), REG_LANG_NONE, nullptr), 0u);
    vec_destroy(list);
}

TEST_F(MessageFiles, NewestFileOfTheDataDirectoryIsChosen) {
    tree.write(dat("20980101000000_en.msgs"), "");
    std::string newest = tree.write(dat("20990101000000_en.msgs"), "");
    tree.write(dat("en_msgs.txt"), "");
    EXPECT_EQ(std::string(msg_filename(REG_LANG_NONE)), newest);
}

TEST_F(MessageFiles, BuiltInCatalogueWinsOverOlderFiles) {
    tree.write(dat("19990101000000_en.msgs"), "");
    tree.write(dat("en_msgs.txt"), "");
    EXPECT_STREQ(msg_filename(REG_LANG_NONE), alert_builtin_name());
}

TEST_F(MessageFiles, SiblingDatDirectoryIsSearchedWhenTheDataDirectoryIsEmpty) {
    std::string sibling = tree.write("vq4\\v1\\dat\\20990101000000_en.msgs", "");
    EXPECT_EQ(std::string(msg_filename(REG_LANG_NONE)), sibling);
    tree.write(dat("20000101000000_en.msgs"), "");
    EXPECT_STREQ(msg_filename(REG_LANG_NONE), alert_builtin_name());
}

TEST_F(MessageFiles, BuiltInNameCarriesTheBuildNumber) {
    EXPECT_EQ(std::string(alert_builtin_name()), std::to_string(reg_build_number()) + "_en.msgs");
    EXPECT_EQ(getMsgFileVersion(alert_builtin_name()), reg_build_number());
    EXPECT_STREQ(msg_filename(REG_LANG_NONE), alert_builtin_name());
}

TEST_F(MessageFiles, EqualVersionsPreferTheVersionDirectoryThenTheGreaterPath) {
    std::string inside = tree.write(dat("20990101000000_en.msgs"), "900 F inside %s\n");
    std::string outside_a = tree.write("a\\20990101000000_en.msgs", "900 F a %s\n");
    std::string outside_b = tree.write("b\\20990101000000_en.msgs", "900 F b %s\n");
    alert_init();
    ASSERT_EQ(std::string(alert_msg_file()), inside);
    EXPECT_EQ(open_edf(outside_b.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), inside);

    alert_reset_for_tests();
    vqinstdir_reset(tree.path("elsewhere\\bin\\vq4").c_str());
    ASSERT_EQ(reg_set_path(REG_DIR_DAT, tree.path().c_str()), 1);
    EXPECT_EQ(open_edf(outside_a.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), outside_a);
    EXPECT_EQ(open_edf(outside_b.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), outside_b);
    EXPECT_EQ(open_edf(outside_a.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), outside_b);
    EXPECT_STREQ(lookup(900)->text, "b %s");
}

TEST_F(MessageFiles, OutsideFileGivesWayToAnEqualOneInsideTheVersionDirectory) {
    std::string inside = tree.write(dat("x\\20990101000000_en.msgs"), "900 F inside %s\n");
    std::string outside = tree.write("z\\20990101000000_en.msgs", "900 F outside %s\n");
    alert_init();
    EXPECT_EQ(open_edf(outside.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), outside);
    EXPECT_EQ(open_edf(inside.c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), inside);
    EXPECT_STREQ(lookup(900)->text, "inside %s");
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST_F(MessageFiles, NewerFileChangesTextsAndIgnoresUnknownNumbers) {
    tree.write(dat("20990101000000_en.msgs"),
               "900 F exec broke: %s\n3000 E not in the catalogue\n");
    alert_init();
    EXPECT_EQ(g_lines, "");
    EXPECT_STREQ(lookup(900)->text, "exec broke: %s");
    EXPECT_EQ(lookup(900)->type, static_cast<uint32_t>(ALERT_FATAL));
    EXPECT_STREQ(lookup(908)->text, "exit status = %d");
    EXPECT_STREQ(lookup(3000)->text,
                 "An error, warning or message was generated, but no description is available");
    EXPECT_FALSE(alert_valid_num(3000));
}

TEST_F(MessageFiles, WithoutAnyFileTheBuiltInCatalogueIsUsed) {
    alert_init();
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    EXPECT_STREQ(lookup(900)->text, "exec failed: %s");
    EXPECT_STREQ(lookup(1444)->text, "respecified C extension from \"%s\" to \"%s\" ");
    EXPECT_TRUE(alert_valid_num(0));
    EXPECT_TRUE(alert_valid_num(2101));
    EXPECT_FALSE(alert_valid_num(2102));
}

TEST_F(MessageFiles, LookupBeforeAnyCatalogueHasNoDescription) {
    Record r = lookup(908);
    EXPECT_EQ(r->type, static_cast<uint32_t>(ALERT_ERROR));
    EXPECT_EQ(r->number, 908u);
    EXPECT_EQ(r->level, 0);
    EXPECT_STREQ(r->text,
                 "An error, warning or message was generated, but no description is available");
    EXPECT_EQ(alert_msg_file(), nullptr);
    EXPECT_FALSE(alert_valid_num(1));
}

TEST_F(MessageFiles, LaterLoadsChangeTextsButNotTypes) {
    alert_init();
    std::string later = tree.write("later\\20990101000000_en.msgs", "908 M now a message %d\n");
    EXPECT_EQ(open_edf(later.c_str()), 1);
    Record r = lookup(908);
    EXPECT_EQ(r->type, static_cast<uint32_t>(ALERT_ERROR));
    EXPECT_STREQ(r->text, "now a message %d");
}

TEST_F(MessageFiles, OpeningTheCurrentFileReadsNothing) {
    std::string file = tree.write(dat("20990101000000_en.msgs"), "900 F first %s\n");
    alert_init();
    tree.write(dat("20990101000000_en.msgs"), "900 F second %s\n");
    EXPECT_EQ(open_edf(file.c_str()), 1);
    EXPECT_STREQ(lookup(900)->text, "first %s");
}

TEST_F(MessageFiles, OpeningAMissingFileKeepsTheCatalogue) {
    alert_init();
    EXPECT_EQ(open_edf(tree.path("missing\\20990101000000_en.msgs").c_str()), 0);
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    EXPECT_EQ(open_edf(nullptr), 0);
    EXPECT_EQ(open_edf(alert_builtin_name()), 1);
}

TEST_F(MessageFiles, OlderFileIsNotLoaded) {
    alert_init();
    std::string old = tree.write("o\\19990101000000_en.msgs", "900 F old %s\n");
    std::string text = trace_of([&] { EXPECT_EQ(open_edf(old.c_str()), 1); });
    std::string expected = "\"" + old + "\" is not newer than \"" + alert_builtin_name() + "\"";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    EXPECT_STREQ(lookup(900)->text, "exec failed: %s");
}

TEST_F(MessageFiles, UnreadableFileKeepsTheCurrentCatalogue) {
    alert_init();
    tree.mkdir("u\\20990101000000_en.msgs"); // exists, but reading it fails
    EXPECT_EQ(open_edf(tree.path("u\\20990101000000_en.msgs").c_str()), 0);
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    EXPECT_STREQ(lookup(900)->text, "exec failed: %s");
    EXPECT_EQ(read_edf(tree.path("u\\20990101000000_en.msgs").c_str()), nullptr);
}

TEST_F(MessageFiles, UnreadableStartUpFileLeavesNoCatalogue) {
    tree.mkdir(dat("20990101000000_en.msgs"));
    EXPECT_EQ(alert_msg(908, 2), 1);
    EXPECT_EQ(g_lines, "(908) An error, warning or message was generated, but no description is "
                       "available\n");
    EXPECT_EQ(alert_errors(), 1);
    EXPECT_EQ(alert_msg_file(), nullptr);
    std::string good = tree.write("g\\en_msgs.txt", "908 E loaded %d\n");
    EXPECT_EQ(open_edf(good.c_str()), 1);
    EXPECT_STREQ(lookup(908)->text, "loaded %d");
}

TEST_F(MessageFiles, MalformedRowsOfTheStartUpFileAreReported) {
    std::string file = tree.write(dat("20990101000000_en.msgs"), "# ok\n900 F fine %s\n\nbad\n");
    alert_init();
    EXPECT_EQ(g_lines, malformed(3, file) + malformed(4, file));
    EXPECT_STREQ(lookup(900)->text, "fine %s");
}

TEST_F(MessageFiles, UnknownTypeInTheStartUpFilePrintsAsAnUncountedWarning) {
    tree.write(dat("20990101000000_en.msgs"), "908 Q odd %d\n");
    alert_init();
    g_lines.clear();
    EXPECT_EQ(alert_msg(908, 1), 1);
    EXPECT_EQ(g_lines, "(908) odd 1 (warning)\n");
    EXPECT_EQ(alert_errors(), 0);
    alert_set_werror(1);
    EXPECT_EQ(alert_errors(), 0);
}

TEST_F(MessageFiles, OpenDirectoryLoadsItsNewestEnglishFile) {
    alert_init();
    EXPECT_EQ(open_edf_dir(tree.path("missing").c_str()), 0);
    tree.write("d\\20990101000000_de.msgs", "900 F deutsch %s\n");
    EXPECT_EQ(open_edf_dir(tree.path("d").c_str()), 1);
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    tree.write("d\\20980101000000_en.msgs", "900 F older %s\n");
    std::string newest = tree.write("d\\20990101000000_en.msgs", "900 F newest %s\n");
    EXPECT_EQ(open_edf_dir(tree.path("d").c_str()), 1);
    EXPECT_EQ(std::string(alert_msg_file()), newest);
    EXPECT_STREQ(lookup(900)->text, "newest %s");
}

TEST_F(MessageFiles, SetLanguageLoadsThatLanguagesFile) {
    std::string german =
        tree.write(dat("20990101000000_de.msgs"), "900 F Start fehlgeschlagen: %s\n");
    EXPECT_EQ(alert_set_language(REG_LANG_GERMAN), 1);
    EXPECT_EQ(std::string(alert_msg_file()), german);
    EXPECT_STREQ(lookup(900)->text, "Start fehlgeschlagen: %s");
    EXPECT_EQ(alert_set_language(REG_LANG_FRENCH), 1);
    EXPECT_EQ(std::string(alert_msg_file()), german);
}

TEST_F(MessageFiles, SetLanguageEndsTheProcessWhenTheFileCannotBeRead) {
    tree.mkdir(dat("20990101000000_fr.msgs"));
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            alert_set_language(REG_LANG_FRENCH);
        },
        testing::ExitedWithCode(1), "Could not open message file .*20990101000000_fr\\.msgs\n\n");
}

} // namespace
