// The records of the debug-out file: prefix, line splitting, indentation,
// hex dumps, alert copies and argument dumps.
#include "common/vector.h"
#include "common/vqdebug.h"
#include "tests/support.h"

#include <cstdarg>

using namespace test_support;

namespace {

class TraceOutput : public DebugDirTest {
  protected:
    void SetUp() override {
        DebugDirTest::SetUp();
        gFile = std::fopen("trace.out", "w");
        ASSERT_NE(gFile, nullptr);
    }
    static std::string out() { return read_text("trace.out"); }
};

int echo_with_number(uint32_t number, va_list args) {
    char body[64], text[80];
    std::vsnprintf(body, sizeof body, "%s", args);
    std::snprintf(text, sizeof text, "(%u) %s\n", number, body);
    db_alert_echo(text);
    return 7;
}

void dump_arguments() {
    vec *args = vec_create(__FILE__, __LINE__);
    db_dump_args(args);
    vec_append(args, const_cast<char *>("-a"));
    vec_append(args, const_cast<char *>("b.c"));
    db_dump_args(args);
    vec_destroy(args);
    const char *argv[] = {"vq4", "x", nullptr, "never"};
    db_dump_argv(4, argv);
}

// Calls made in turn on one debug-out file: the records each adds there and
// what it warns on stderr.
const std::tuple<void (*)(), const char *, const char *> kTraceCases[] = {
    {[] { tracef("src/sc.c", 42, "x=%d", 7); }, "sc.c:42             > x=7\n", ""},
    {[] { trace("C:\\work\\a.c", 1, "b"); }, "a.c:1               > b\n", ""},
    {[] { trace("g:h.c", 3, "i"); }, "h.c:3               > i\n", ""},
    {[] { trace("a_rather_long_file_name.c", 12345, "t"); }, "a_rather_long_file_name.c:12345> t\n",
     ""},
    {[] { tracef("sc.c", 1, "a=%d\nb=%d", 1, 2); },
     "sc.c:1              > a=1\nsc.c:1              > b=%d\n", ""},
    {[] { trace("sc.c", 2, "\na=%d\n\nb\n"); },
     "sc.c:2              > a=%d\nsc.c:2              > b\n", ""},
    {[] { trace("sc.c", 9, "\n\n"); }, "", DBW "trace (at sc.c:9) contains no lines\n"},
    {[] { tracef("sc.c", 8, ""); }, "", DBW "tracef (at sc.c:8) contains no lines\n"},
    {[] { db_enter("f.c", 10, "outer", "n=%d", 3); }, "f.c:10              > ENTER outer(n=3)\n",
     ""},
    {[] { tracef("f.c", 11, "inside"); }, "f.c:11              >     inside\n", ""},
    {[] { db_enter("f.c", 12, "inner", nullptr); }, "f.c:12              >     ENTER inner()\n",
     ""},
    {[] { db_exit("f.c", 13, "inner", nullptr); }, "f.c:13              >     EXIT inner()\n", ""},
    {[] { db_exit("f.c", 14, "outer", "%s", "ok"); }, "f.c:14              > EXIT outer() -> ok\n",
     ""},
    {[] { db_exit("f.c", 15, "f", nullptr); }, "f.c:15              > EXIT f()\n",
     DBW "min debug-out indent level reached\n"},
    {[] { tracef("f.c", 16, "%u %u", db_indent_level(), db_indent_columns()); },
     "f.c:16              > 0 0\n", ""},
    {[] { EXPECT_EQ(db_alert_at(echo_with_number, "src\\m.c", 12, 44, "late"), 7); },
     "m.c:12              > (44) late\n", ""},
    {[] { db_alert_echo("(1) plain\n"); }, "ALERT> (1) plain\n", ""},
    {dump_arguments, "\nAPP: VQ4\nARGS: None\nARGS: -a b.c\nARGS: vq4 x\n", ""},
    {[] { db_set_trace_width(10); }, "", ""},
    {[] { trace("a.c", 1, "x"); }, "a.c:1     > x\n", ""},
    {[] { db_set_trace_width(2); }, "", DBW "desired trace width (2) is < default (20)\n"},
    {[] { trace("a.c", 1, "y"); }, "a.c:1> y\n", ""},
    {[] {
         std::fclose(gFile);
         gFile = nullptr;
         tracef("sc.c", 1, "x");
         trace("sc.c", 1, "\n");
         db_puts("p");
         db_printf("%d", 1);
     },
     "", ""},
};

TEST_F(TraceOutput, EachCallAddsTheRecordsAndWarningsOfItsRow) {
    for (size_t row = 0; row < std::size(kTraceCases); ++row) {
        const auto &[call, records, warnings] = kTraceCases[row];
        size_t before = out().size();
        EXPECT_EQ(stderr_of(call), warnings) << "row " << row;
        EXPECT_EQ(out().substr(before), records) << "row " << row;
    }
}

TEST_F(TraceOutput, IndentationStopsAtItsLimitsInsteadOfWrapping) {
    db_set_indent_level(4294967295u);
    EXPECT_EQ(stderr_of([] { db_indent(); }), DBW "max debug-out indent level readched\n");
    EXPECT_EQ(db_indent_level(), 4294967295u);
    db_set_indent_step(4294967295u);
    db_set_indent_level(1);
    EXPECT_EQ(db_indent(), 4294967295u);
}

std::string address(const void *p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

TEST_F(TraceOutput, HexdumpOnTheHeaderLineOrOnePerLineWithPaddedCharacters) {
    const unsigned char few[] = {'A', 'b', 0x00, 0xFF, '~'};
    const unsigned char many[] = "abcdefghijklmnopqrst"; // 20 bytes dumped
    db_hexdump("buf", few, 5, 16, 1, "d.c", 5);
    db_hexdump("buf", many, 20, 16, 1, "d.c", 5);
    db_hexdump("buf", few, 2, 16, 0, "d.c", 5);
    db_hexdump("buf", few, 0, 16, 1, "d.c", 5);
    const std::string prefix = "d.c:5               > ", head = prefix + "Hexdump: buf (";
    EXPECT_EQ(out(), head + address(few) + ") | 41 62 00 FF 7E | A b . . ~\n" + head +
                         address(many) + ")\n" + prefix + address(many) +
                         " | 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 |"
                         " a b c d e f g h i j k l m n o p\n" +
                         prefix + address(many + 16) + " | 71 72 73 74" + std::string(12 * 3, ' ') +
                         " | q r s t\n" + head + address(few) + ") | 41 62\n" + head +
                         address(few) + ") zero bytes\n");
}

} // namespace
