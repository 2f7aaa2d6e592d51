// The catalogue reader and message files: parsing, malformed rows, finding
// and ordering message files, merging with the built-in rows and loading.
#include "common/alert.h"

#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "tests/support.h"

using namespace test_support;

namespace {

std::string g_lines;
int capture(const char *line) {
    g_lines += line;
    return 1;
}

std::string malformed(unsigned line, const std::string &file = "t.msgs") {
    return "Malformed error information on line " + std::to_string(line) + ", in file " + file +
           "\n\n";
}

// The text of a looked-up record (which is the caller's to free).
std::string text_of(uint32_t number) {
    alert_record *r = alert_lookup(number);
    std::string text = r->text;
    std::free(r);
    return text;
}

// A vector of parsed records owned by the test.
struct Table {
    explicit Table(const std::string &text) {
        g_lines.clear();
        highest =
            alert_parse_catalogue(text.data(), static_cast<uint32_t>(text.size()), "t.msgs", v);
    }
    ~Table() {
        for (uint32_t i = 0; i < vec_size(v); ++i)
            std::free(vec_get(v, i));
        vec_destroy(v);
    }
    const alert_record *at(uint32_t n) const {
        return static_cast<const alert_record *>(vec_get(v, n));
    }
    vec *v = vec_create(__FILE__, __LINE__);
    uint32_t highest;
};

// An installation <root>\vq4\v1\lum with its data directory; the program
// runs from <root>\vq4\v1\bin.
class MessageFiles : public testing::Test {
  protected:
    void SetUp() override {
        tree.mkdir("vq4\\v1\\lum\\dat");
        vqinstdir_reset(tree.win("vq4\\v1\\bin\\vq4").c_str());
        alert_reset_for_tests();
        g_lines.clear();
        alert_set_output(capture);
    }
    void TearDown() override {
        alert_reset_for_tests();
        vqinstdir_reset(nullptr);
    }
    std::string dat(const std::string &name) const { return "vq4\\v1\\lum\\dat\\" + name; }
    std::string file() const { return alert_msg_file() ? alert_msg_file() : "(none)"; }
    ScratchDir tree;
};

TEST_F(MessageFiles, RowsGiveTypeLevelAndText) {
    Table t("# comment\n1 F fatal %u\n2\tE\terror\n  3 m message\n4 -3 minus three\n"
            "5 E replaced\n5 7x seven\n6 - dash\n7   M   abc\n8 e trailing blank \n"
            "9 X odd\n10000 M top");
    EXPECT_EQ(t.highest, 10000u);
    EXPECT_EQ(g_lines, malformed(11)); // the unknown type is reported, and kept
    const std::tuple<uint32_t, uint32_t, int32_t, const char *> rows[] = {
        {1, ALERT_FATAL, 0, "fatal %u"},  {2, ALERT_ERROR, 0, "error"},
        {3, ALERT_MESSAGE, 0, "message"}, {4, ALERT_WARNING, -3, "minus three"},
        {5, ALERT_WARNING, 7, "seven"},   {6, ALERT_WARNING, 0, "dash"},
        {7, ALERT_MESSAGE, 0, "  abc"},   {8, ALERT_ERROR, 0, "trailing blank "},
        {9, ALERT_UNKNOWN, 0, "odd"},     {10000, ALERT_MESSAGE, 0, "top"},
    };
    for (const auto &[number, type, level, text] : rows) {
        const alert_record *r = t.at(number);
        ASSERT_NE(r, nullptr) << number;
        EXPECT_EQ(std::tuple(r->number, r->type, r->level, r->text),
                  std::tuple(number, type, level, sc_intern(text)));
    }
    EXPECT_EQ(t.at(10), nullptr);
    EXPECT_EQ(Table("").highest, 0u);
}

TEST_F(MessageFiles, MalformedRowsAreReportedAndNeverCrash) {
    const std::string a251(251, 'a');
    // A text, what it reports and whether row 5 is stored anyway.
    const std::tuple<std::string, std::string, bool> cases[] = {
        // clang-format off
        {"abc M text\n", malformed(1), false},    {"10001 M text\n", malformed(1), false},
        {"-5 M text\n", malformed(1), false},     {"5\n", malformed(1), false},
        {"5   \n", malformed(1), false},          {"5 M\n", malformed(1), false},
        {" # not a comment\n", malformed(1), false},
        {std::string("5\0 M x\n", 7), malformed(1), false},
        {"\n5 M ok\n", malformed(1), true},
        {std::string("\x01\xff\x80 \x02\n5 M a\0b\n", 14), malformed(1), true},
        {"5 M " + a251 + "\n6 M x\n", malformed(2), true}, // 255 characters, then an empty line
        {"4 M " + a251 + "5 M tail\n", "", true},          // a row continued past 255
        {std::string(1000, 'z') + "\n",
         malformed(1) + malformed(2) + malformed(3) + malformed(4), false},
        // A text may take fewer arguments than the built-in one, never more,
        // nor others, nor write through %n (built-in row 5 takes one %s).
        {"5 M %s %s\n", malformed(1), false},   {"5 M %d\n", malformed(1), false},
        {"5 M %ls\n", malformed(1), false},     {"5 M %*s\n", malformed(1), false},
        {"5 M x%n\n", malformed(1), false},     {"5 M 99%\n", malformed(1), false},
        {"5 M %m 100%% %-20.5s\n", "", true},   {"5 M none\n", "", true},
        // clang-format on
    };
    for (const auto &[text, report, stored] : cases) {
        Table t(text);
        EXPECT_EQ(g_lines, report) << text;
        EXPECT_EQ(t.at(5) != nullptr, stored) << text;
    }
    EXPECT_EQ(Table("5 M " + a251 + "\n").at(5)->text, sc_intern(a251.c_str()));
}

TEST_F(MessageFiles, FindsFilesOfTheLanguageOnly) {
    for (const char *name : {"20240101000000_en.msgs", "en_msgs.txt", "20240101000000_de.msgs",
                             "de_msgs.txt", "x_en.msgs.bak", "EN_MSGS.TXT"})
        tree.write(dat(name), "");
    std::string dir = tree.win("vq4\\v1\\lum\\dat");
    auto find = [](const std::string &where, int language) {
        vec *list = vec_create(__FILE__, __LINE__);
        findMsgFiles(where.c_str(), language, list);
        std::vector<std::string> found;
        for (uint32_t i = 0; i < vec_size(list); ++i)
            found.push_back(take(static_cast<char *>(vec_get(list, i))));
        vec_destroy(list);
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(find(dir, REG_LANG_NONE),
              (std::vector<std::string>{dir + "\\20240101000000_en.msgs", dir + "\\en_msgs.txt"}));
    EXPECT_EQ(find(dir + "\\", REG_LANG_GERMAN),
              (std::vector<std::string>{dir + "\\20240101000000_de.msgs", dir + "\\de_msgs.txt"}));
    EXPECT_EQ(find(tree.win("missing"), REG_LANG_NONE), std::vector<std::string>{});
}

TEST_F(MessageFiles, StartUpFileIsTheNewestOfTheDataOrElseTheSiblingDirectory) {
    EXPECT_EQ(std::string(alert_builtin_name()), std::to_string(reg_build_number()) + "_en.msgs");
    EXPECT_STREQ(msg_filename(REG_LANG_NONE), alert_builtin_name());
    std::string sibling = tree.write("vq4\\v1\\dat\\20990101000000_en.msgs", "");
    EXPECT_EQ(std::string(msg_filename(REG_LANG_NONE)), sibling);
    tree.write(dat("19990101000000_en.msgs"), "");
    tree.write(dat("en_msgs.txt"), "");
    EXPECT_STREQ(msg_filename(REG_LANG_NONE), alert_builtin_name());
    std::string same = tree.write(dat(alert_builtin_name()), ""); // a tie: inside wins
    EXPECT_EQ(std::string(msg_filename(REG_LANG_NONE)), same);
    tree.write(dat("20980101000000_en.msgs"), "");
    std::string newest = tree.write(dat("20990101000000_en.msgs"), "");
    EXPECT_EQ(std::string(msg_filename(REG_LANG_NONE)), newest);
}

// The files outside the version directory sort after it ("y" and "z" come
// after "vq4"), so that only the version directory can put one before them.
TEST_F(MessageFiles, EqualVersionsPreferTheVersionDirectoryThenTheGreaterPath) {
    std::string inside = tree.write(dat("20990101000000_en.msgs"), "900 F inside %s\n");
    std::string y = tree.write("y\\20990101000000_en.msgs", "900 F y %s\n");
    std::string z = tree.write("z\\20990101000000_en.msgs", "900 F z %s\n");
    alert_init();
    ASSERT_EQ(file(), inside);
    EXPECT_EQ(open_edf(z.c_str()), 1);
    EXPECT_EQ(file(), inside);

    alert_reset_for_tests();
    std::filesystem::remove(tree.host(dat("20990101000000_en.msgs")));
    std::string deeper = tree.write(dat("x\\20990101000000_en.msgs"), "900 F deeper %s\n");
    alert_init();
    EXPECT_EQ(open_edf(z.c_str()), 1);
    EXPECT_EQ(open_edf(deeper.c_str()), 1);
    EXPECT_EQ(file(), deeper);

    alert_reset_for_tests();
    vqinstdir_reset(tree.win("elsewhere\\bin\\vq4").c_str());
    ASSERT_EQ(reg_set_path(REG_DIR_DAT, tree.win().c_str()), 1);
    for (const std::string &next : {y, z, y})
        EXPECT_EQ(open_edf(next.c_str()), 1);
    EXPECT_EQ(file(), z);
    EXPECT_EQ(text_of(900), "z %s");
}

TEST_F(MessageFiles, LinesWithCarriageReturnsReadAsTextLinesAtEveryLength) {
    // 254 characters put the CR last in a 255-character piece; 255 make the
    // line end a line of its own, as the piece limit says.
    for (size_t length : {240u, 246u, 247u}) {
        alert_reset_for_tests();
        alert_set_output(capture);
        g_lines.clear();
        std::string text = std::string(length, 'x') + "%s";
        std::string path =
            tree.write(dat("20990101000000_en.msgs"), "900 F " + text + "\r\n908 E next %d\r\n");
        alert_init();
        EXPECT_EQ(g_lines, length < 247 ? "" : malformed(2, path)) << length;
        EXPECT_EQ(text_of(900), text) << length;
        EXPECT_EQ(text_of(908), "next %d") << length;
    }
}

TEST_F(MessageFiles, NewerFileChangesTextsAndIgnoresUnknownNumbers) {
    EXPECT_FALSE(alert_valid_num(1)); // before any catalogue
    alert_init();
    EXPECT_TRUE(alert_valid_num(2101));
    EXPECT_FALSE(alert_valid_num(2102));

    alert_reset_for_tests();
    std::string newer = tree.write(dat("20990101000000_en.msgs"),
                                   "900 F exec broke: %s\n3000 E not in the catalogue\n");
    alert_init();
    EXPECT_EQ(g_lines, "");
    EXPECT_EQ(text_of(900), "exec broke: %s");
    EXPECT_EQ(text_of(3000),
              "An error, warning or message was generated, but no description is available");
    EXPECT_FALSE(alert_valid_num(3000));
    tree.write(dat("20990101000000_en.msgs"), "900 F second %s\n");
    EXPECT_EQ(open_edf(newer.c_str()), 1); // the current file is not read again
    EXPECT_EQ(text_of(900), "exec broke: %s");
}

// The version of a file is the number its base name starts with; each query
// is traced with its argument and result.
TEST_F(MessageFiles, VersionsAndTracedQueries) {
    const std::pair<const char *, uint64_t> versions[] = {
        // clang-format off
        {"C:\\x\\dat\\20990101000000_en.msgs", 20990101000000ull}, {"/x/y/123_de.msgs", 123},
        {"en_msgs.txt", 0}, {"dir\\_en.msgs", 0}, {"7.msgs", 7}, {"12\\x_en.msgs", 0}};
    // clang-format on
    for (const auto &[path, version] : versions)
        EXPECT_EQ(getMsgFileVersion(path), version) << path;
    alert_init();
    std::string trace = debug_out_of(
        [] {
            std::free(alert_lookup(908));
            getMsgFileVersion("x\\123_en.msgs");
            alert_valid_num(5);
            alert_msg_file();
        },
        DB_FLAG_TRACE);
    for (const std::string &record : std::vector<std::string>{
             "ENTER alert_lookup(908)", "EXIT alert_lookup() -> type 3, \"exit status = %d\"",
             "ENTER getMsgFileVersion(\"x\\123_en.msgs\")", "EXIT getMsgFileVersion() -> 123",
             "ENTER alert_valid_num(5)", "EXIT alert_valid_num() -> 1", "ENTER alert_msg_file()",
             "EXIT alert_msg_file() -> " + std::string(alert_builtin_name())})
        EXPECT_EQ(lacks(trace, record), "");
}

TEST_F(MessageFiles, OnlyANewerReadableFileReplacesTheCatalogue) {
    alert_init();
    std::string old = tree.write("o\\19990101000000_en.msgs", "900 F old %s\n");
    std::string trace = debug_out_of([&] { EXPECT_EQ(open_edf(old.c_str()), 1); }, DB_FLAG_TRACE);
    EXPECT_EQ(lacks(trace, "\"" + old + "\" is not newer than \"" + alert_builtin_name() + "\""),
              "");
    tree.mkdir("u\\20990101000000_en.msgs"); // exists, but reading it fails
    std::string unreadable = tree.win("u\\20990101000000_en.msgs");
    EXPECT_EQ(open_edf(unreadable.c_str()), 0);
    EXPECT_EQ(open_edf(tree.win("missing\\20990101000000_en.msgs").c_str()), 0);
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    EXPECT_EQ(open_edf(alert_builtin_name()), 1);
    std::string later = tree.write("later\\20990101000000_en.msgs", "908 M now a message %d\n");
    EXPECT_EQ(open_edf(later.c_str()), 1); // texts change, types stay
    alert_record *r = alert_lookup(908);
    EXPECT_EQ(r->type, static_cast<uint32_t>(ALERT_ERROR));
    EXPECT_STREQ(r->text, "now a message %d");
    std::free(r);
}

TEST_F(MessageFiles, UnreadableStartUpFileLeavesNoCatalogue) {
    tree.mkdir(dat("20990101000000_en.msgs"));
    alert_init();
    EXPECT_EQ(alert_msg_file(), nullptr);
    EXPECT_EQ(open_edf(tree.write("g\\en_msgs.txt", "908 E loaded %d\n").c_str()), 1);
    EXPECT_EQ(text_of(908), "loaded %d");
}

TEST_F(MessageFiles, StartUpFileRowsAreReportedAndUnknownTypesPrintAsUncountedWarnings) {
    std::string f = tree.write(dat("20990101000000_en.msgs"), "# ok\n908 Q odd %d\n\nbad\n");
    alert_init();
    EXPECT_EQ(g_lines, malformed(2, f) + malformed(3, f) + malformed(4, f));
    g_lines.clear();
    EXPECT_EQ(alert_msg(908, 1), 1);
    EXPECT_EQ(g_lines, "(908) odd 1 (warning)\n");
    alert_set_werror(1);
    EXPECT_EQ(alert_errors(), 0);
}

TEST_F(MessageFiles, OpenDirectoryAndSetLanguageLoadTheNewestFileOfTheLanguage) {
    alert_init();
    EXPECT_EQ(open_edf_dir(tree.win("missing").c_str()), 0);
    EXPECT_EQ(open_edf_dir(tree.write("plain.txt", "").c_str()), 0); // not a directory
    tree.write("d\\20990101000000_de.msgs", "900 F deutsch %s\n");
    EXPECT_EQ(open_edf_dir(tree.win("d").c_str()), 1);
    EXPECT_STREQ(alert_msg_file(), alert_builtin_name());
    tree.write("d\\20990101000000_en.msgs", "900 F lesser %s\n"); // one version: the greater path
    std::string newest = tree.write("d\\20990101000000x_en.msgs", "900 F newest %s\n");
    EXPECT_EQ(open_edf_dir(tree.win("d").c_str()), 1);
    EXPECT_EQ(file(), newest);
    EXPECT_EQ(text_of(900), "newest %s");

    alert_reset_for_tests();
    std::string german = tree.write(dat("20990101000000_de.msgs"), "900 F Start: %s\n");
    EXPECT_EQ(alert_set_language(REG_LANG_GERMAN), 1);
    EXPECT_EQ(file(), german);
    EXPECT_EQ(text_of(900), "Start: %s");
    EXPECT_EQ(alert_set_language(REG_LANG_FRENCH), 1);
    EXPECT_EQ(file(), german);
    alert_reset_for_tests();
    tree.mkdir(dat("20990101000000_fr.msgs"));
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            alert_set_language(REG_LANG_FRENCH);
        },
        testing::ExitedWithCode(1), "Could not open message file .*20990101000000_fr\\.msgs\n\n");
}

} // namespace
