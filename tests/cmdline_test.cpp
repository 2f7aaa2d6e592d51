// The argument-list builder: the command-file tokenizer (read from standard
// input), escape resolution, command-file expansion and the program name.
#include "common/cmdline.h"
#include "common/vector.h"
#include "tests/support.h"

#include <cerrno>

using namespace test_support;

namespace {

using Strings = std::vector<std::string>;

// Every test passes the same program path, so the name the first call of
// the process records is known.
const char *const PROGRAM = "C:\\suite\\bin/tools\\vq4.exe";

class CmdlineTest : public ::testing::Test {
  protected:
    // The tokens cmdline_read_args reads from text (program name left out).
    Strings read_tokens(const std::string &text) {
        write_file(dir_.host("input.txt"), text);
        EXPECT_NE(freopen(dir_.host("input.txt").string().c_str(), "r", stdin), nullptr);
        int32_t count = -1;
        char **tokens = cmdline_read_args("prog", &count);
        EXPECT_STREQ(tokens[0], "prog");
        EXPECT_EQ(tokens[count], nullptr);
        return Strings(tokens + 1, tokens + count);
    }

    static Strings build(const Strings &args, cmdline_callback callback = nullptr) {
        std::vector<const char *> argv{PROGRAM};
        for (const std::string &arg : args)
            argv.push_back(arg.c_str());
        vec *result = cmdline_build(int32_t(argv.size()), argv.data(), callback);
        Strings items;
        for (uint32_t i = 0; i < vec_size(result); ++i)
            items.emplace_back(static_cast<const char *>(vec_get(result, i)));
        vec_destroy(result);
        return items;
    }

    ScratchDir dir_{true};
};

// The reader's grammar, one line at a time. Empty tokens appear where a
// separator ends a token inside a line; the builder drops them later.
// Quotes, four backslashes, escaped quotes, tabs between quotes, empty
// files and long lines are also proven end to end through the drivers.
const std::pair<const char *, Strings> TOKEN_CASES[] = {
    // clang-format off
    {"a  b\n", {"a", "", "b"}}, {"a\tb\n", {"a", "b"}}, {"a", {"a"}}, {"\n", {""}},
    {"'say \"hi\"'\n", {"say \"hi\""}}, {"a\\ b\n", {"a b"}}, {"\\ \n", {" "}},
    {"end\\\n", {"end"}}, {"\"unterminated quote\n", {"unterminated quote"}},
    {"a\\\tb\n", {"a", "\\b"}}, {"a b\r\n", {"a", "b"}}, {"\"open\nb c\n", {"open", "b", "c"}},
    // clang-format on
};

// Token length and count limits are covered end to end; here also a cut
// inside an escape pair and bytes that are no text.
TEST_F(CmdlineTest, ReaderSplitsLinesAsTheCommandFileGrammarSays) {
    for (const auto &[input, tokens] : TOKEN_CASES)
        EXPECT_EQ(read_tokens(input), tokens) << "input: " << input;
    std::string kept(2047, 'x');
    EXPECT_EQ(read_tokens("a " + kept + "\\\\\nnext\n"), (Strings{"a", kept, "next"}));
    std::string bytes(20000, '\0');
    std::mt19937 random(7);
    for (char &c : bytes)
        c = char(random() & 0xff);
    read_tokens(bytes);
}

// The escapes and the "@" arguments kept as they are show end to end; here,
// a command file that cannot be reopened as standard input is kept as it
// is, and standard input stays as it was.
TEST_F(CmdlineTest, BuilderKeepsACommandFileItCannotReopen) {
    write_file("reopen.cmd", "inside\n");
    int before = plat_fileno(stdin);
    plat_fail_next(PLAT_CALL_FREOPEN, EACCES);
    EXPECT_EQ(build({"@reopen.cmd"}), Strings{"@reopen.cmd"});
    EXPECT_EQ(plat_fileno(stdin), before);
}

// The name is recorded once; the callback sees every argument, command-file
// tokens and empty ones included, before the escapes are resolved; a debug
// option is handed on at once and kept.
TEST_F(CmdlineTest, NameCallbackAndDebugOption) {
    static Strings seen;
    write_file("args.cmd", "in\\\\side\n");
    db_reset_for_testing();
    EXPECT_EQ(build({"a\\\\b", "@args.cmd", "", "--vqdebug=assert:warning"},
                    [](const char *arg) { seen.emplace_back(arg); }),
              (Strings{"a\\b", "in\\side", "--vqdebug=assert:warning"}));
    EXPECT_EQ(seen, (Strings{"a\\\\b", "@args.cmd", "in\\side", "", "--vqdebug=assert:warning"}));
    EXPECT_EQ(cmdline_debug_seen(), 1);
    EXPECT_EQ(gAssertLevel, 3u);
    db_reset_for_testing();
    const char *other[] = {"/elsewhere/other"};
    vec_destroy(cmdline_build(1, other, nullptr));
    EXPECT_STREQ(cmdline_progname(), "vq4.exe");
}

} // namespace
