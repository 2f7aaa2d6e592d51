// The reporter: layouts, templates, counting, thresholds, message states,
// once-per-location reports, limits and the exits with cleanup(1).
#include "common/alert.h"

#include "common/osdep.h"
#include "common/registry.h"
#include "common/vqdebug.h"
#include "tests/alert_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// The test program's own exit hook: announces each call on stderr while a
// death test asks for it, so that the tests can see cleanup(1) run before
// the exit.
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
constexpr const char *kTestRows = "# test catalogue\n"
                                  "100 -1 level minus one %d\n"
                                  "101 2 level two\n"
                                  "102 E an error %s\n"
                                  "103 M a message\n"
                                  "104 F fatal %s\n"
                                  "105 0 level zero\n"
                                  "106 -9 level minus nine\n"
                                  "107 9 level nine\n";

class Alert : public testing::Test {
  protected:
    void SetUp() override {
        vqinstdir_reset(tree.path("nowhere\\bin\\vq4").c_str());
        alert_reset_for_tests();
        g_out.clear();
        alert_set_output(capture);
    }
    void TearDown() override {
        alert_reset_for_tests();
        vqinstdir_reset(nullptr);
        gDebugFlags = 0;
    }
    // Makes kTestRows (or rows) the start-up catalogue.
    void start_with(const char *rows = kTestRows) {
        tree.write("inst\\dat\\20990101000000_en.msgs", rows);
        ASSERT_EQ(reg_set_path(REG_DIR_DAT, tree.path("inst").c_str()), 1);
        alert_init();
        g_out.clear();
    }
    // The reporter's output of one call.
    template <typename F> std::string output_of(F report) {
        g_out.clear();
        report();
        return g_out;
    }
    TempTree tree;
};

// ---------------------------------------------------------------------------
// Fixed layout
// ---------------------------------------------------------------------------

TEST_F(Alert, ErrorWithoutContextIsThePrefixedText) {
    alert_set_output(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(alert_msg(908, 2), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "(908) exit status = 2\n");
    EXPECT_EQ(alert_errors(), 1);
}

TEST_F(Alert, MessageWithoutContextIsItsTextAlone) {
    EXPECT_EQ(alert_msg(1, 3u), 1);
    EXPECT_EQ(g_out, "too many errors (3)\n");
    EXPECT_EQ(alert_errors(), 0);
}

TEST_F(Alert, ContextGivesFileAndLine) {
    uint32_t line = 12;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(output_of([] { alert_msg(908, 2); }), "a.c: 12: (908) exit status = 2\n");
    EXPECT_EQ(output_of([] { alert_msg_noline(908, 2); }),
              "Non line specific message: (908) exit status = 2\n");
    EXPECT_EQ(output_of([] { alert_msg_noloc(908, 2); }), "(908) exit status = 2\n");
    line = 13;
    EXPECT_EQ(output_of([] { alert_msg(908, 2); }), "a.c: 13: (908) exit status = 2\n");
}

TEST_F(Alert, EmptyFileNameCountsAsNone) {
    uint32_t line = 4;
    alert_set_context("", &line, nullptr, nullptr);
    EXPECT_EQ(output_of([] { alert_msg(908, 1); }), "4: (908) exit status = 1\n");
}

TEST_F(Alert, WarningsEndWithTheWarningMark) {
    EXPECT_EQ(alert_msg(1501, "x > 0", "f.c", 7), 1);
    EXPECT_EQ(g_out, "(1501) assertion failure: x > 0 (f.c:7)  (warning)\n");
    EXPECT_EQ(alert_errors(), 0);
}

TEST_F(Alert, UnknownNumberPrintsNoDescriptionAsAnError) {
    EXPECT_EQ(alert_msg(3000), 1);
    EXPECT_EQ(g_out, "(3000) An error, warning or message was generated, but no description "
                     "is available\n");
    EXPECT_EQ(alert_errors(), 1);
}

// ---------------------------------------------------------------------------
// Warnings and thresholds
// ---------------------------------------------------------------------------

TEST_F(Alert, WarningBelowTheThresholdIsDropped) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    EXPECT_EQ(alert_msg(100, 1), 0);
    EXPECT_EQ(g_out, "");
    EXPECT_EQ(alert_set_level(-1), 0);
    EXPECT_EQ(alert_msg(100, 1), 1);
    EXPECT_EQ(g_out, "(100) level minus one 1 (warning)\n");
    alert_set_level(-2);
    EXPECT_EQ(alert_msg(100, 2), 1);
    alert_set_level(0);
    EXPECT_EQ(alert_msg(105), 1);
    EXPECT_EQ(alert_msg(106), 0);
    alert_set_level(9);
    EXPECT_EQ(alert_msg(101), 0);
    EXPECT_EQ(alert_msg(107), 1);
}

TEST_F(Alert, WarningsCountOnlyAsErrorsWhenAsked) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_msg(101);
    EXPECT_EQ(alert_errors(), 0);
    alert_set_werror(1);
    EXPECT_EQ(alert_errors(), 1);
    alert_set_werror(0);
    EXPECT_EQ(alert_errors(), 0);
}

// ---------------------------------------------------------------------------
// Message states
// ---------------------------------------------------------------------------

struct StateCase {
    int state;
    uint32_t number;
    const char *expected; // "" when dropped
    int errors_after;     // alert_errors() after the report
};

TEST_F(Alert, StatesChangeWhatPrints) {
    const StateCase cases[] = {
        {1, 103, "", 0},
        {1, 101, "", 0},
        {1, 102, "(102) an error e\n", 1},
        {2, 103, "", 0},
        {2, 101, "", 0},
        {2, 102, "", 0},
        {3, 102, "(102) an error e (warning)\n", 0},
        {3, 101, "(101) level two (warning)\n", 0},
        {4, 101, "(101) level two\n", 1},
        {4, 103, "a message\n", 0},
        {5, 103, "", 0},
        {5, 102, "", 0},
        {0, 102, "(102) an error e\n", 1},
    };
    for (const StateCase &c : cases) {
        alert_reset_for_tests();
        alert_set_output(capture);
        ASSERT_NO_FATAL_FAILURE(start_with());
        alert_state(c.number, c.state);
        EXPECT_EQ(alert_get_state(c.number), c.state);
        EXPECT_EQ(output_of([&] { alert_msg(c.number, "e"); }), c.expected)
            << "state " << c.state << " number " << c.number;
        EXPECT_EQ(alert_errors(), c.errors_after) << "state " << c.state << " number " << c.number;
    }
}

TEST_F(Alert, DemotedErrorTakesTheThresholdAsLevel) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_set_level(5);
    alert_state(102, ALERT_STATE_DEMOTE);
    EXPECT_EQ(alert_msg(102, "x"), 1);
    EXPECT_EQ(g_out, "(102) an error x (warning)\n");
}

TEST_F(Alert, PushAndPopKeepTheBottomLevel) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    EXPECT_EQ(alert_get_state(102), 0);
    alert_state(102, ALERT_STATE_OFF);
    alert_state(0, ALERT_STATE_PUSH);
    EXPECT_EQ(alert_get_state(102), ALERT_STATE_OFF);
    alert_state(102, ALERT_STATE_NONE);
    EXPECT_EQ(alert_msg(102, "a"), 1);
    alert_state(0, ALERT_STATE_POP);
    EXPECT_EQ(alert_msg(102, "b"), 0);
    alert_state(0, ALERT_STATE_POP);
    alert_state(0, ALERT_STATE_POP);
    EXPECT_EQ(alert_get_state(102), ALERT_STATE_OFF);
}

TEST_F(Alert, BulkOperationsFollowTheStartUpTypes) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_state(0, ALERT_STATE_ALL_QUIET);
    EXPECT_EQ(alert_get_state(103), ALERT_STATE_QUIET);
    EXPECT_EQ(alert_get_state(101), ALERT_STATE_QUIET);
    EXPECT_EQ(alert_get_state(102), 0);
    EXPECT_EQ(alert_get_state(104), 0);
    alert_state(0, ALERT_STATE_RESET);
    EXPECT_EQ(alert_get_state(103), 0);
    alert_state(0, ALERT_STATE_ALL_OFF);
    EXPECT_EQ(alert_get_state(102), ALERT_STATE_OFF);
    EXPECT_EQ(alert_get_state(103), ALERT_STATE_OFF);
    EXPECT_EQ(alert_get_state(104), 0);
    alert_state(7, 11);
    EXPECT_EQ(alert_get_state(7), 0);
}

TEST_F(Alert, DisableZeroDropsWarningsAndMessagesOnly) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_disable("0");
    EXPECT_EQ(alert_msg(103), 0);
    EXPECT_EQ(alert_msg(101), 0);
    EXPECT_EQ(alert_msg(102, "x"), 1);
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            alert_msg(104, "still");
        },
        testing::ExitedWithCode(1), "\\(104\\) fatal still");
}

TEST_F(Alert, DisableListSetsQuietAndOff) {
    alert_disable("1,2:off,17:OFF,x,,20000");
    EXPECT_EQ(alert_get_state(1), ALERT_STATE_QUIET);
    EXPECT_EQ(alert_get_state(2), ALERT_STATE_DISABLED);
    EXPECT_EQ(alert_get_state(17), ALERT_STATE_DISABLED);
    alert_disable(nullptr);
    alert_disable("");
    EXPECT_EQ(alert_get_state(1), ALERT_STATE_QUIET);
}

TEST_F(Alert, StateOffNeverSuppressesAFatalError) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    alert_state(104, ALERT_STATE_OFF);
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            alert_msg(104, "x");
        },
        testing::ExitedWithCode(1), "\\(104\\) fatal x");
}

// ---------------------------------------------------------------------------
// Once per location
// ---------------------------------------------------------------------------

TEST_F(Alert, OnceFormsPrintOncePerLocation) {
    uint32_t line = 5;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(alert_msg_once(908, 1), 1);
    EXPECT_EQ(alert_msg_once(908, 1), 0);
    line = 6;
    EXPECT_EQ(alert_msg_once(908, 1), 1);
    alert_set_context("b.c", &line, nullptr, nullptr);
    EXPECT_EQ(alert_msg_once(908, 1), 1);
    EXPECT_EQ(alert_msg_once(917), 1);
    EXPECT_EQ(alert_msg_once_noline(908, 1), 0);
    EXPECT_EQ(g_out, "a.c: 5: (908) exit status = 1\n"
                     "a.c: 6: (908) exit status = 1\n"
                     "b.c: 6: (908) exit status = 1\n"
                     "b.c: 6: (917) argument too long\n");
}

TEST_F(Alert, OnceFormsKeepTheirLocationFlags) {
    uint32_t line = 5;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(alert_msg_once_noline(908, 1), 1);
    EXPECT_EQ(alert_msg_once_noloc(917), 1);
    EXPECT_EQ(g_out, "Non line specific message: (908) exit status = 1\n"
                     "(917) argument too long\n");
    EXPECT_EQ(output_of([] { alert_msg(917); }), "a.c: 5: (917) argument too long\n");
}

TEST_F(Alert, FilteredOnceReportIsNotRemembered) {
    ASSERT_NO_FATAL_FAILURE(start_with());
    EXPECT_EQ(alert_msg_once(100, 1), 0);
    alert_set_level(-1);
    EXPECT_EQ(alert_msg_once(100, 1), 1);
    EXPECT_EQ(alert_msg_once(100, 1), 0);
}

// ---------------------------------------------------------------------------
// Templates
// ---------------------------------------------------------------------------

TEST_F(Alert, EnvironmentTemplateLaysOutErrors) {
    os_setenv("ZEB_ERR_FORMAT", "%f:%l:%n:%s");
    alert_init();
    os_setenv("ZEB_ERR_FORMAT", "");
    alert_use_formats(1);
    uint32_t line = 3;
    alert_set_context("a.c", &line, nullptr, nullptr);
    EXPECT_EQ(alert_msg(908, 2), 1);
    EXPECT_EQ(g_out, "a.c:3:908:exit status = 2\n");
}

TEST_F(Alert, DefaultTemplatesAfterInit) {
    EXPECT_STREQ(alert_err_format(), "%s");
    alert_init();
    EXPECT_STREQ(alert_err_format(), "%f: %l: (%n) %s (error)");
    EXPECT_STREQ(alert_warn_format(), "%f: %l: (%n) %s (warning)");
    EXPECT_STREQ(alert_msg_format(), "%f: %l: %s");
    alert_use_formats(1);
    uint32_t line = 9;
    alert_set_context("m.c", &line, nullptr, nullptr);
    EXPECT_EQ(output_of([] { alert_msg(908, 4); }), "m.c: 9: (908) exit status = 4 (error)\n");
    EXPECT_EQ(output_of([] { alert_msg(1501, "c", "s.c", 1); }),
              "m.c: 9: (1501) assertion failure: c (s.c:1)  (warning)\n");
    EXPECT_EQ(output_of([] { alert_msg(2, 8u); }),
              "m.c: 9: error/warning (8) generated but no description available\n");
}

TEST_F(Alert, SetFormatsYieldsToTheEnvironmentForceFormatsDoesNot) {
    os_setenv("ZEB_WARN_FORMAT", "env %s");
    alert_set_formats("e %s", "w %s", nullptr);
    EXPECT_STREQ(alert_err_format(), "e %s");
    EXPECT_STREQ(alert_warn_format(), "env %s");
    EXPECT_STREQ(alert_msg_format(), "%f: %l: %s");
    alert_force_formats("e2 %s", "w2 %s", "m2 %s");
    EXPECT_STREQ(alert_warn_format(), "w2 %s");
    EXPECT_STREQ(alert_msg_format(), "m2 %s");
    alert_force_formats(nullptr, nullptr, nullptr);
    EXPECT_STREQ(alert_warn_format(), "env %s");
    EXPECT_STREQ(alert_err_format(), "%f: %l: (%n) %s (error)");
    os_setenv("ZEB_WARN_FORMAT", "");
}

struct TemplateCase {
    const char *format;
    const char *expected;
};

TEST_F(Alert, TemplateCodes) {
    const char *text = "int x;";
    const char *start = text;
    const char *current = text + 4;
    uint32_t line = 21;
    const TemplateCase cases[] = {
        {"%a|%n|%s", "vq4|908|exit status = 2"},
        {"%f:%l:%c: %s", "t.c:21:4: exit status = 2"},
        {"100%% %s%", "100% exit status = 2"},
        {"%q%s", "qexit status = 2"},
    };
    alert_init();
    alert_use_formats(1);
    alert_set_context("t.c", &line, &start, &current);
    for (const TemplateCase &c : cases) {
        alert_force_formats(c.format, nullptr, nullptr);
        EXPECT_EQ(output_of([] { alert_msg(908, 2); }), std::string(c.expected) + "\n") << c.format;
    }
}

TEST_F(Alert, TemplateLocationCodesVanishWithoutLineOrLocation) {
    const char *text = "abc";
    const char *start = text;
    const char *current = text + 2;
    uint32_t line = 4;
    alert_init();
    alert_use_formats(1);
    alert_set_context("t.c", &line, &start, &current);
    alert_force_formats("%f: %l: %c: %s", nullptr, nullptr);
    EXPECT_EQ(output_of([] { alert_msg_noline(917); }),
              "Non line specific message: 2: argument too long\n");
    EXPECT_EQ(output_of([] { alert_msg_noloc(917); }), "argument too long\n");
    alert_set_context(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(output_of([] { alert_msg(917); }), ": : : argument too long\n");
}

TEST_F(Alert, TemplatePercentMIsTheSystemText) {
    alert_init();
    alert_use_formats(1);
    alert_force_formats("%m|%s", nullptr, nullptr);
    errno = 2;
    alert_msg(917);
    EXPECT_EQ(g_out, std::string(std::strerror(2)) + "|argument too long\n");
}

// ---------------------------------------------------------------------------
// Typed reports, plain lines, %m and limits
// ---------------------------------------------------------------------------

TEST_F(Alert, TypedMessagesUseTheGivenTypeAndText) {
    EXPECT_EQ(alert_typed_msg(7, "m", "hello %d", 3), 1);
    EXPECT_EQ(alert_typed_msg(8, "E", "bad %s", "x"), 1);
    EXPECT_EQ(alert_typed_msg(9, "3", "careful"), 1);
    EXPECT_EQ(alert_typed_msg(9, "-2", "hidden"), 0);
    EXPECT_EQ(alert_typed("W", "plain warning"), 1);
    EXPECT_EQ(g_out, "hello 3\n(8) bad x\n(9) careful (warning)\n(0) plain warning (warning)\n");
    EXPECT_EQ(alert_errors(), 1);
}

TEST_F(Alert, TypedMessageAboveTheThresholdOnly) {
    alert_set_level(11);
    EXPECT_EQ(alert_typed_msg(8, "E", "counted"), 0);
    EXPECT_EQ(alert_errors(), 1);
    EXPECT_EQ(alert_typed_msg(8, "F", "not printed"), 0);
    EXPECT_EQ(g_out, "");
}

TEST_F(Alert, PercentMExpandsTheSavedErrorNumber) {
    errno = 2;
    alert_typed_msg(0, "M", "open: %m (%d%%)", 5);
    EXPECT_EQ(g_out, std::string("open: ") + std::strerror(2) + " (5%)\n");
    errno = 0;
    EXPECT_EQ(output_of([] { alert_typed_msg(0, "M", "[%m]"); }), "[]\n");
}

TEST_F(Alert, MessageTextIsCutAt511Characters) {
    std::string long_text(600, 'a');
    alert_typed_msg(0, "M", "%s", long_text.c_str());
    EXPECT_EQ(g_out, std::string(511, 'a') + "\n");
    EXPECT_EQ(output_of([&] { alert_typed_msg(12, "E", "%s", long_text.c_str()); }),
              "(12) " + std::string(506, 'a') + "\n");
}

TEST_F(Alert, PrintedLineIsCutAt8191Characters) {
    std::string huge(9000, 'b');
    alert_print("%s", huge.c_str());
    EXPECT_EQ(g_out.size(), 8191u);
    EXPECT_EQ(g_out, std::string(8190, 'b') + "\n");
    EXPECT_EQ(output_of([&] { alert_print("%s", std::string(8190, 'c').c_str()); }),
              std::string(8190, 'c') + "\n");
}

TEST_F(Alert, PlainLinesAndContinuations) {
    EXPECT_EQ(alert_print("plain %d", 1), 1);
    EXPECT_EQ(alert_continue(0, "a%s", "b"), 1);
    EXPECT_EQ(alert_continue(0, "c"), 1);
    EXPECT_EQ(alert_continue(1, "d%d", 2), 1);
    EXPECT_EQ(alert_continue(1, "e"), 1);
    EXPECT_EQ(g_out, "plain 1\n\tabcd2\n\te\n");
    EXPECT_EQ(alert_errors(), 0);
}

TEST_F(Alert, OutputFunctionResultIsTheReportsResult) {
    alert_set_output([](const char *) { return 7; });
    EXPECT_EQ(alert_print("x"), 7);
    EXPECT_EQ(alert_get_output()("y"), 7);
}

int g_hook_calls;
uint32_t g_hook_last_number;
void count_hook(uint32_t number, va_list *) {
    ++g_hook_calls;
    g_hook_last_number = number;
}

TEST_F(Alert, HookRunsBeforePrintedReports) {
    g_hook_calls = 0;
    EXPECT_EQ(alert_set_hook(count_hook), nullptr);
    EXPECT_EQ(alert_get_hook(), count_hook);
    alert_msg(917);
    EXPECT_EQ(g_hook_calls, 1);
    alert_msg_once(908, 1);
    EXPECT_EQ(g_hook_calls, 3);
    alert_typed("M", "x");
    EXPECT_EQ(g_hook_calls, 4);
    alert_typed_msg(1, "M", "x");
    EXPECT_EQ(g_hook_calls, 4);
    alert_set_hook(nullptr);
}

TEST_F(Alert, AlertsOptionEchoesIntoTheDebugFile) {
    alert_init();
    std::string echoed = trace_of(
        [] {
            alert_msg(917);
            alert_print("plain");
        },
        8);
    EXPECT_EQ(echoed, "ALERT> (917) argument too long\nALERT> plain\n");
    EXPECT_EQ(g_out, "(917) argument too long\nplain\n");
}

// ---------------------------------------------------------------------------
// Exits
// ---------------------------------------------------------------------------

TEST_F(Alert, FatalMessageCallsCleanupAndExits) {
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            errno = 2;
            alert_msg(141, "error", "x.err");
        },
        testing::ExitedWithCode(1),
        std::string("\\(141\\) can't open error file \"x\\.err\": ") + std::strerror(2) +
            "\ncleanup\\(1\\)\n$");
}

TEST_F(Alert, MaximumZeroEndsAtTheFirstError) {
    EXPECT_EQ(set_maxerrors(0), 20u);
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            alert_msg(908, 1);
        },
        testing::ExitedWithCode(1), "too many errors \\(1\\)\ncleanup\\(1\\)\n$");
}

TEST_F(Alert, DefaultMaximumPrintsTwentyErrors) {
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            for (int i = 1; i <= 21; ++i)
                alert_msg(908, i);
        },
        testing::ExitedWithCode(1),
        "\\(908\\) exit status = 20\ntoo many errors \\(21\\)\ncleanup\\(1\\)\n$");
    for (int i = 1; i <= 20; ++i)
        EXPECT_EQ(alert_msg(908, i), 1);
    EXPECT_EQ(g_out.find("exit status = 21"), std::string::npos);
}

TEST_F(Alert, TypedFatalExits) {
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            alert_typed("F", "stop %d", 1);
        },
        testing::ExitedWithCode(1), "\\(0\\) stop 1\ncleanup\\(1\\)\n$");
}

TEST_F(Alert, AlertFatalNamesTheProgram) {
    vqinstdir_reset("C:\\tools\\lumx.exe");
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            alert_fatal(3);
        },
        testing::ExitedWithCode(1), "\\(5\\) .*: lumx\\.exe fatal error 3\ncleanup\\(1\\)\n$");
    vqinstdir_reset("C:\\tools\\");
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            alert_fatal(4);
        },
        testing::ExitedWithCode(1), ": VQ4 fatal error 4\n");
}

TEST_F(Alert, AlertFatalExitsWithTheCodeWhenMessageFiveIsNotFatal) {
    ASSERT_NO_FATAL_FAILURE(start_with("5 E not fatal here: %s\n"));
    EXPECT_EXIT(
        {
            alert_set_output(nullptr);
            g_announce_cleanup = true;
            alert_fatal(7);
        },
        testing::ExitedWithCode(7), "\\(5\\) not fatal here: .* fatal error 7\n$");
    EXPECT_EXIT(alert_fatal(0), testing::ExitedWithCode(1), "");
}

} // namespace
