// The reporter: layouts, templates, counting, thresholds, message states,
// once-per-location reports, limits and the exits with cleanup(1).
#include "common/alert.h"

#include "common/osdep.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "tests/support.h"

#include <cerrno>
#include <cstring>

using namespace test_support;

// The test program's own exit hook: announces each call on stderr, so that
// the death tests of this file can see cleanup(1) run before the exit.
static bool g_announce_cleanup = false;
void cleanup(int code) {
    if (g_announce_cleanup)
        std::fprintf(stderr, "cleanup(%d)\n", code);
}

namespace {

std::string g_out;
int capture(const char *line) {
    g_out += line;
    return 1;
}

// A start-up catalogue with known types and levels: a message file in the
// data directory, newer than the built-in catalogue, loaded by alert_init.
constexpr const char *kTestRows = "100 -1 level minus one %s\n101 2 level two\n"
                                  "102 E an error %s\n103 M a message\n104 F fatal\n"
                                  "105 0 level zero\n106 -9 level minus nine\n107 9 level nine\n";

class Alert : public testing::Test {
  protected:
    void SetUp() override {
        vqinstdir_reset(tree.win("nowhere\\bin\\vq4").c_str());
        alert_reset_for_tests();
        alert_set_output(capture);
        g_out.clear();
    }
    void TearDown() override {
        alert_reset_for_tests();
        vqinstdir_reset(nullptr);
    }
    // Starts the reporter afresh with rows as the start-up catalogue.
    void start_with(const char *rows = kTestRows) {
        alert_reset_for_tests();
        alert_set_output(capture);
        tree.write("inst\\dat\\20990101000000_en.msgs", rows);
        ASSERT_EQ(reg_set_path(REG_DIR_DAT, tree.win("inst").c_str()), 1);
        alert_init();
        g_out.clear();
    }
    // The reporter's output of one call.
    template <typename F> static std::string out(F report) {
        g_out.clear();
        report();
        return g_out;
    }
    // Expects report to print pattern on stderr, run cleanup(1) and exit with code.
    template <typename F> static void expect_exit(F report, int code, const std::string &pattern) {
        EXPECT_EXIT(
            {
                alert_set_output(nullptr);
                g_announce_cleanup = true;
                report();
            },
            testing::ExitedWithCode(code), pattern);
    }
    ScratchDir tree;
};

TEST_F(Alert, FixedLayout) {
    EXPECT_EQ(out([] { alert_msg(1, 3u); }), "too many errors (3)\n");
    EXPECT_EQ(out([] { alert_msg(1501, "x > 0", "f.c", 7); }),
              "(1501) assertion failure: x > 0 (f.c:7)  (warning)\n");
    EXPECT_EQ(out([] { alert_msg(3000); }), "(3000) An error, warning or message was generated, "
                                            "but no description is available\n");
    EXPECT_EQ(alert_errors(), 1);
    uint32_t line = 12;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(out([] { alert_msg(908, 2); }), "a.c: 12: (908) exit status = 2\n");
    line = 13;
    alert_set_context("", &line, nullptr, nullptr);
    EXPECT_EQ(out([] { alert_msg(908, 2); }), "13: (908) exit status = 2\n");
}

TEST_F(Alert, WarningsPrintFromTheThresholdAndCountOnlyAsErrorsWhenAsked) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_msg(101);
    alert_set_werror(1);
    EXPECT_EQ(alert_errors(), 1);
    alert_set_werror(0);
    EXPECT_EQ(alert_errors(), 0);
    const std::tuple<int32_t, uint32_t, int> cases[] = {{0, 100, 0}, {-1, 100, 1}, {-2, 100, 1},
                                                        {0, 105, 1}, {0, 106, 0},  {9, 101, 0},
                                                        {9, 107, 1}};
    for (const auto &[level, number, printed] : cases) {
        alert_set_level(level);
        EXPECT_EQ(alert_msg(number, "1"), printed) << "level " << level << " row " << number;
    }
    EXPECT_EQ(alert_set_level(-1), 9);
    EXPECT_EQ(out([] { alert_msg(100, "1"); }), "(100) level minus one 1 (warning)\n");
}

TEST_F(Alert, StatesChangeWhatPrints) {
    // State, row, what it prints ("" when dropped), errors counted.
    const std::tuple<int, uint32_t, const char *, int> cases[] = {
        // clang-format off
        {1, 103, "", 0}, {1, 101, "", 0}, {1, 102, "(102) an error e\n", 1},
        {2, 103, "", 0}, {2, 101, "", 0}, {2, 102, "", 0},
        {3, 102, "(102) an error e (warning)\n", 0}, {3, 101, "(101) level two (warning)\n", 0},
        {4, 101, "(101) level two\n", 1}, {4, 103, "a message\n", 0},
        {5, 103, "", 0}, {5, 102, "", 0}, {0, 102, "(102) an error e\n", 1},
        // clang-format on
    };
    for (const auto &[state, number, expected, errors_after] : cases) {
        SCOPED_TRACE("state " + std::to_string(state) + " row " + std::to_string(number));
        ASSERT_NO_FATAL_FAILURE(start_with());
        alert_state(number, state);
        EXPECT_EQ(out([number] { alert_msg(number, "e"); }), expected);
        EXPECT_EQ(alert_errors(), errors_after);
    }
    alert_set_level(5); // a demoted error takes the threshold as its level
    alert_state(102, ALERT_STATE_DEMOTE);
    EXPECT_EQ(out([] { alert_msg(102, "x"); }), "(102) an error x (warning)\n");
}

TEST_F(Alert, PushPopAndBulkStates) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_state(102, ALERT_STATE_OFF);
    alert_state(0, ALERT_STATE_PUSH);
    EXPECT_EQ(alert_get_state(102), ALERT_STATE_OFF);
    alert_state(102, ALERT_STATE_NONE);
    EXPECT_EQ(alert_msg(102, "a"), 1);
    for (int i = 0; i < 3; ++i) // popping the bottom level keeps it
        alert_state(0, ALERT_STATE_POP);
    EXPECT_EQ(alert_msg(102, "b"), 0);
    EXPECT_EQ(alert_get_state(102), ALERT_STATE_OFF);
    alert_state(0, ALERT_STATE_RESET);
    auto states = [] {
        return std::vector<int>{alert_get_state(101), alert_get_state(102), alert_get_state(103),
                                alert_get_state(104)};
    };
    alert_disable("0"); // all quiet by start-up type: errors and fatals stay
    EXPECT_EQ(states(), (std::vector<int>{ALERT_STATE_QUIET, 0, ALERT_STATE_QUIET, 0}));
    alert_state(0, ALERT_STATE_RESET);
    EXPECT_EQ(states(), (std::vector<int>{0, 0, 0, 0}));
    alert_state(0, ALERT_STATE_ALL_OFF); // all but the fatal errors
    EXPECT_EQ(states(), (std::vector<int>{ALERT_STATE_OFF, ALERT_STATE_OFF, ALERT_STATE_OFF, 0}));
    alert_state(7, 11);
    EXPECT_EQ(alert_get_state(7), 0);
    // Any number has a state, whether a catalogue has it or not; the disable
    // list skips what is no number.
    alert_state(20000, ALERT_STATE_OFF);
    alert_disable("30000:off,4000000000,1,2:off,17:OFF,x,,");
    alert_disable(nullptr);
    EXPECT_EQ(std::vector<int>({alert_get_state(20000), alert_get_state(30000),
                                alert_get_state(4000000000u), alert_get_state(20001),
                                alert_get_state(1), alert_get_state(2), alert_get_state(17)}),
              (std::vector<int>{ALERT_STATE_OFF, ALERT_STATE_DISABLED, ALERT_STATE_QUIET, 0,
                                ALERT_STATE_QUIET, ALERT_STATE_DISABLED, ALERT_STATE_DISABLED}));
    alert_state(0, ALERT_STATE_PUSH); // a pushed level keeps them too
    EXPECT_EQ(alert_msg(20000), 0);
}

TEST_F(Alert, NoStateDropsAFatalError) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_state(104, ALERT_STATE_OFF);
    expect_exit([] { alert_msg(104); }, 1, "\\(104\\) fatal\ncleanup\\(1\\)\n$");
}

TEST_F(Alert, OnceFormsPrintOncePerLocationAndKeepTheirLocationFlags) {
    uint32_t line = 50;
    alert_set_context("a.c", &line, nullptr, nullptr);
    std::vector<int> results = {alert_msg_once_noline(908, 1), alert_msg_once_noloc(917),
                                alert_msg(917)};
    line = 5;
    results.insert(results.end(), {alert_msg_once(908, 1), alert_msg_once(908, 1)});
    line = 6;
    results.push_back(alert_msg_once(908, 1));
    alert_set_context("b.c", &line, nullptr, nullptr);
    results.insert(results.end(),
                   {alert_msg_once(908, 1), alert_msg_once(917), alert_msg_once_noline(908, 1)});
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 0, 1, 1, 1, 0}));
    EXPECT_EQ(g_out, "Non line specific message: (908) exit status = 1\n"
                     "(917) argument too long\na.c: 50: (917) argument too long\n"
                     "a.c: 5: (908) exit status = 1\na.c: 6: (908) exit status = 1\n"
                     "b.c: 6: (908) exit status = 1\nb.c: 6: (917) argument too long\n");
    ASSERT_NO_FATAL_FAILURE(start_with()); // a filtered report is not remembered
    EXPECT_EQ(alert_msg_once(100, "1"), 0);
    alert_set_level(-1);
    EXPECT_EQ(alert_msg_once(100, "1"), 1);
    uint64_t allocations = must_alloc_calls();
    EXPECT_EQ(alert_msg_once(100, "1"), 0); // a repeat allocates nothing
    EXPECT_EQ(must_alloc_calls(), allocations);
}

TEST_F(Alert, TemplatesComeFromInitTheEnvironmentAndTheCalls) {
    EXPECT_STREQ(alert_err_format(), "%s");
    os_setenv("ZEB_ERR_FORMAT", "%f:%l:%n:%s");
    alert_init();
    os_setenv("ZEB_ERR_FORMAT", "");
    alert_use_formats(1);
    uint32_t line = 3;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(out([] { alert_msg(908, 2); }), "a.c:3:908:exit status = 2\n");
    EXPECT_EQ(out([] { alert_msg(1501, "c", "s.c", 1); }),
              "a.c: 3: (1501) assertion failure: c (s.c:1)  (warning)\n");
    EXPECT_EQ(out([] { alert_msg(2, 8u); }),
              "a.c: 3: error/warning (8) generated but no description available\n");

    os_setenv("ZEB_WARN_FORMAT", "env %s");
    alert_set_formats("e %s", "w %s", nullptr);
    EXPECT_STREQ(alert_err_format(), "e %s");
    EXPECT_STREQ(alert_warn_format(), "env %s");
    alert_force_formats("e2 %s", "w2 %s", "m2 %s");
    EXPECT_STREQ(alert_warn_format(), "w2 %s");
    alert_force_formats(nullptr, nullptr, nullptr);
    EXPECT_STREQ(alert_warn_format(), "env %s");
    EXPECT_STREQ(alert_err_format(), "%f: %l: (%n) %s (error)");
    os_setenv("ZEB_WARN_FORMAT", "");
}

TEST(AlertTemplates, AVariableSetButEmptyIsAnEmptyTemplate) {
    if (PLAT_HOST_WINDOWS)
        GTEST_SKIP()
            << "Windows keeps no variable set to the empty string (setting one removes it)";
    ScratchDir tree;
    std::string command = std::string("ZEB_ERR_FORMAT= ") + VQ4_TEST_CHILD + " alert 908 2>'" +
                          tree.host("out.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_text(tree.host("out.txt")), "\n");
}

TEST_F(Alert, TemplateCodes) {
    const char *text = "int x;", *start = text, *current = text + 4;
    uint32_t line = 21;
    alert_init();
    alert_use_formats(1);
    alert_set_context("t.c", &line, &start, &current);
    const std::tuple<const char *, void (*)(), std::string> cases[] = {
        {"%a|%n|%s", [] { alert_msg(908, 2); }, "vq4|908|exit status = 2"},
        {"%f:%l:%c: %s", [] { alert_msg(908, 2); }, "t.c:21:4: exit status = 2"},
        {"100%% %s%", [] { alert_msg(908, 2); }, "100% exit status = 2"},
        {"%q%s", [] { alert_msg(908, 2); }, "qexit status = 2"},
        {"%f: %l: %c: %s", [] { alert_msg_noline(917); },
         "Non line specific message: 4: argument too long"},
        {"%f: %l: %c: %s", [] { alert_msg_noloc(917); }, "argument too long"},
        {"%m|%s", [] { errno = 2, alert_msg(917); },
         std::string(std::strerror(2)) + "|argument too long"},
    };
    for (const auto &[format, report, expected] : cases) {
        alert_force_formats(format, nullptr, nullptr);
        EXPECT_EQ(out(report), expected + "\n") << format;
    }
    alert_set_context(nullptr, nullptr, nullptr, nullptr);
    alert_force_formats("%f: %l: %c: %s", nullptr, nullptr);
    EXPECT_EQ(out([] { alert_msg(917); }), ": : : argument too long\n");
}

TEST_F(Alert, TypedReportsPlainLinesAndTheirLimits) {
    alert_set_level(11); // above the threshold: counted, never printed
    EXPECT_EQ(alert_typed_msg(8, "E", "counted"), 0);
    EXPECT_EQ(alert_errors(), 1);
    EXPECT_EQ(alert_typed_msg(8, "F", "not printed"), 0);
    EXPECT_EQ(g_out, "");
    alert_reset_for_tests();
    alert_set_output(capture);
    // clang-format off
    const std::vector<int> results = {
        alert_typed_msg(7, "m", "hello %d", 3), alert_typed_msg(9, "3", "careful"),
        alert_typed_msg(9, "-2", "hidden"), alert_typed("W", "plain warning"),
        alert_print("plain %d", 1), alert_continue(0, "a%s", "b"), alert_continue(0, "c"),
        alert_continue(1, "d%d", 2), alert_continue(1, "e")};
    // clang-format on
    EXPECT_EQ(results, (std::vector<int>{1, 1, 0, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(alert_errors(), 0);
    EXPECT_EQ(alert_typed_msg(8, "E", "bad %s", "x"), 1);
    EXPECT_EQ(alert_errors(), 1);
    EXPECT_EQ(g_out, "hello 3\n(9) careful (warning)\n(0) plain warning (warning)\n"
                     "plain 1\n\tabcd2\n\te\n(8) bad x\n");
    errno = 2;
    EXPECT_EQ(out([] { alert_typed_msg(0, "M", "open: %m (%d%%)", 5); }),
              std::string("open: ") + std::strerror(2) + " (5%)\n");
    errno = 0;
    EXPECT_EQ(out([] { alert_typed_msg(0, "M", "[%m]"); }), "[]\n");
    std::string a(600, 'a'), b(9000, 'b');
    EXPECT_EQ(out([&] { alert_typed_msg(0, "M", "%s", a.c_str()); }), std::string(511, 'a') + "\n");
    EXPECT_EQ(out([&] { alert_typed_msg(12, "E", "%s", a.c_str()); }),
              "(12) " + std::string(506, 'a') + "\n");
    EXPECT_EQ(out([&] { alert_print("%s", b.c_str()); }), std::string(8190, 'b') + "\n");
    b.resize(8190);
    EXPECT_EQ(out([&] { alert_print("%s", b.c_str()); }), b + "\n");
}

int g_hook_calls;

TEST_F(Alert, HookRunsBeforePrintedReportsAndAlertsEchoIntoTheDebugFile) {
    g_hook_calls = 0;
    alert_set_hook([](uint32_t, va_list *) { ++g_hook_calls; });
    alert_msg(917);
    alert_msg_once(908, 1);
    alert_typed("M", "x");
    EXPECT_EQ(g_hook_calls, 4);
    alert_typed_msg(1, "M", "x");
    EXPECT_EQ(g_hook_calls, 4);
    alert_set_hook(nullptr);

    g_out.clear();
    std::string echoed = debug_out_of([] { alert_msg(917), alert_print("plain"); }, DB_FLAG_ALERTS);
    EXPECT_TRUE(echoed.ends_with("EXIT alert_lookup() -> type 3, \"argument too long\"\n"
                                 "ALERT> (917) argument too long\nALERT> plain\n"))
        << echoed;
    EXPECT_EQ(g_out, "(917) argument too long\nplain\n");
}

TEST_F(Alert, FatalReportsAndTheErrorMaximumCallCleanupAndExit) {
    EXPECT_EQ(set_maxerrors(20), 20u);
    expect_exit([] { errno = 2, alert_msg(141, "error", "x.err"); }, 1,
                std::string("\\(141\\) can't open error file \"x\\.err\": ") + std::strerror(2) +
                    "\ncleanup\\(1\\)\n$");
    expect_exit([] { set_maxerrors(0), alert_msg(908, 1); }, 1,
                "too many errors \\(1\\)\ncleanup\\(1\\)\n$");
    expect_exit(
        [] {
            for (int i = 1; i <= 21; ++i)
                alert_msg(908, i);
        },
        1, "\\(908\\) exit status = 20\ntoo many errors \\(21\\)\ncleanup\\(1\\)\n$");
    expect_exit([] { alert_typed("F", "stop %d", 1); }, 1, "\\(0\\) stop 1\ncleanup\\(1\\)\n$");
    expect_exit([] { vqinstdir_reset("C:\\tools\\lumx.exe"), alert_fatal(3); }, 1,
                "\\(5\\) .*: lumx\\.exe fatal error 3\ncleanup\\(1\\)\n$");
    expect_exit([] { vqinstdir_reset("C:\\tools\\"), alert_fatal(4); }, 1,
                ": VQ4 fatal error 4\ncleanup\\(1\\)\n$");
    ASSERT_NO_FATAL_FAILURE(start_with("5 E not fatal here: %s\n"));
    expect_exit([] { alert_fatal(7); }, 7, "\\(5\\) not fatal here: .* fatal error 7\n$");
    expect_exit([] { alert_fatal(0); }, 1, "");
}

} // namespace
