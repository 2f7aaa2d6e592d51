// Launching programs, the command-line limit, pipes over a child's output,
// environment, time, host facts and the signal handlers. The child program
// VQ4_TEST_CHILD prints its arguments as "[%s]" lines, or runs commands
// such as "out TEXT", "err TEXT" and "exit N".
#include "common/osdep.h"
#include "common/vector.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <iterator>
#include <tuple>

using namespace test_support;

using ::testing::ExitedWithCode;
using namespace ::testing::internal; // CaptureStdout and friends

namespace {

const char *const kChild = VQ4_TEST_CHILD;
const char *const kBanner = "An unexpected problem has been encountered and the program must "
                            "quit; contact Brisvale support with details";

// The number in a temporary name (vq4_tmp_N).
unsigned long name_number(const std::string &name) {
    return std::stoul(name.substr(name.rfind('_') + 1));
}

} // namespace

TEST(OsSpawnTest, QuotesElementsInPlaceAndTheChildSplitsThemByTheWindowsRules) {
    // Each element is replaced by its copy, quoted when it holds white space
    // (embedded quotes are not escaped; os_quote_arg quotes a copy the same
    // way), and the child splits the joined line again (the rules alone are
    // the platform tests' table). Rows: argument, copy, the child's lines.
    const std::tuple<const char *, const char *, const char *> rows[] = {
        {"two words", "\"two words\"", "[two words]\n"},
        {"tab\there", "\"tab\there\"", "[tab\there]\n"},
        {"line\n", "\"line\n\"", "[line\n]\n"},
        {"say \"hi\" now", "\"say \"hi\" now\"", "[say hi now]\n"},
        {"\"quoted words\"", "\"\"quoted words\"\"", "[quoted]\n[words]\n"},
        {"C:\\my dir\\", "\"C:\\my dir\\\"", "[C:\\my dir\"]\n"},
        {"\"q\"", "\"q\"", "[q]\n"},
        {"", "", ""}};
    for (const auto &[argument, quoted, received] : rows) {
        const char *argv[] = {kChild, "args", argument, nullptr};
        EXPECT_EQ(stdout_of([&] { EXPECT_EQ(os_spawn(kChild, argv), 0); }),
                  std::string("[args]\n") + received)
            << argument;
        EXPECT_STREQ(argv[2], quoted);
        EXPECT_EQ(take(os_quote_arg(argument)), quoted);
    }
    // No handlers were installed, so the launches installed none.
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, PLAT_SIG_DFL), PLAT_SIG_DFL);
    const char *empty[] = {nullptr};
    EXPECT_EQ(stdout_of([&] { EXPECT_EQ(os_spawn(kChild, empty), 0); }), ""); // no arguments
    errno = 0;
    EXPECT_EQ(os_spawn("/nonexistent/dir/nowhere", empty), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(OsPopenTest, CapturesBothStreamsInOrderAndTheStatusWhateverTheLineLength) {
    // Counted as the runtime sees them (a probe by dup, which both hosts
    // answer; a Windows program under Wine has no /proc of its own).
    auto open_descriptors = [] {
        int open = 0;
        for (int fd = 0; fd < 1024; ++fd) {
            int copy = plat_dup(fd);
            open += copy >= 0 && plat_close(copy) == 0;
        }
        return open;
    };
    auto before = open_descriptors();
    // The limit is the callers' to apply: a longer line still reaches the child.
    EXPECT_EQ(os_cmdline_limit(), 7191u);
    std::string third(os_cmdline_limit(), 'x');
    FILE *f = os_popen(kChild, "out", "first", "err", "second", "out", third.c_str(), "exit", "3",
                       nullptr);
    ASSERT_NE(f, nullptr);
    std::string text(2 * third.size(), '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    EXPECT_EQ(text, "first\nsecond\n" + third + "\n");
    EXPECT_EQ(os_pclose(f), 3);
    // A second close and a stream of another origin give -1; the latter stays open.
    EXPECT_EQ(os_pclose(f), -1);
    FILE *foreign = std::tmpfile();
    EXPECT_EQ(os_pclose(foreign), -1);
    EXPECT_EQ(std::fclose(foreign), 0);
    EXPECT_EQ(open_descriptors(), before); // every descriptor it opened is closed again
}

TEST(OsPopenTest, FailuresGiveNullRunNothingAndLeaveTheStreamsAlone) {
    EXPECT_EQ(os_popen_vec(nullptr), nullptr);
    EXPECT_EQ(os_popen_vec(vec_create(__FILE__, __LINE__)), nullptr);
    EXPECT_EQ(os_popen(nullptr), nullptr);
    EXPECT_EQ(os_pclose(nullptr), -1);
    // PLAT_CALL_COUNT: a missing program and no injected host failure.
    for (plat_call call :
         {PLAT_CALL_COUNT, PLAT_CALL_DUP, PLAT_CALL_DUP2, PLAT_CALL_FOPEN, PLAT_CALL_SPAWNV}) {
        unsigned long before = name_number(take(os_tmpfile_name_plain()));
        CaptureStdout();
        CaptureStderr();
        if (call != PLAT_CALL_COUNT)
            plat_fail_next(call, EBADF);
        const char *program = call == PLAT_CALL_COUNT ? "/nonexistent/program" : kChild;
        EXPECT_EQ(os_popen(program, "out", "lost", nullptr), nullptr) << "call " << call;
        plat_fail_reset();
        std::printf("out\n");
        std::fprintf(stderr, "err\n");
        std::fflush(stdout);
        EXPECT_EQ(GetCapturedStderr() + GetCapturedStdout(), "err\nout\n") << "call " << call;
        if (call == PLAT_CALL_COUNT) { // no capture file was even named
            EXPECT_EQ(name_number(take(os_tmpfile_name_plain())), before + 1);
        }
    }
}

TEST(OsTimeDeathTest, FirstCallFixesTheTimeZoneOnly) {
    expect_in_fresh_process([] {
        os_setenv("TZ", "UTC");
        int64_t stored = 0, now = os_time(&stored);
        std::string zones = std::getenv("TZ");
        os_setenv("TZ", "UTC");
        os_time(nullptr);
        zones += std::string(", then ") + std::getenv("TZ");
        bool on_time = stored == now && now - static_cast<int64_t>(std::time(nullptr)) <= 1;
        return zones == "EST0EDT, then UTC" && on_time ? "" : zones + ", " + std::to_string(now);
    });
}

TEST(OsNumCoresTest, EnvironmentOverridesOnlyWithANonZeroNumber) {
    int32_t host = os_num_cores(false);
    // The variable's value, whether it is consulted and the result.
    const std::tuple<const char *, bool, int32_t> rows[] = {
        {"0", true, host},   {"text", true, host}, {"-3", true, 1},      {"5", true, 5},
        {"12abc", true, 12}, {"5", false, host},   {nullptr, true, host}};
    for (const auto &[value, consult_env, expected] : rows) {
        os_setenv("bamboo_capability_Cores", value);
        EXPECT_EQ(os_num_cores(consult_env), expected)
            << (value ? value : "(unset)") << (consult_env ? "" : ", not consulted");
    }
}

// The handler points descriptors 1 and 2 back at what they were when the
// handlers were installed and ends the output there with a newline.
TEST(OsSignalDeathTest, HandlersInstalledAgainByALaunchRestoreTheStreamsAndEndWithTheSignal) {
    ScratchDir scratch;
    fs::path saved = scratch.path() / "saved_stdout", redirected = scratch.path() / "redirected";
    const char *exits[] = {kChild, "exit", "0", nullptr};
    // Each signal and whether the handler prints the banner.
    for (auto [sig, banner] : {std::pair{PLAT_SIGINT, false},
                               {PLAT_SIGTERM, false},
                               {PLAT_SIGBREAK, false},
                               {PLAT_SIGABRT, true},
                               {PLAT_SIGSEGV, true},
                               {PLAT_SIGFPE, true}}) {
        SCOPED_TRACE(::testing::Message() << "signal " << sig);
        EXPECT_EXIT(
            {
                std::fflush(stdout); // what the test program wrote so far is not the handler's
                plat_dup2(plat_fileno(std::fopen(saved.string().c_str(), "w")), 1);
                os_install_signals();
                plat_signal(sig, PLAT_SIG_DFL); // a launch installs the handlers again
                os_spawn(kChild, exits);
                FILE *elsewhere = std::fopen(redirected.string().c_str(), "w");
                plat_dup2(plat_fileno(elsewhere), 1);
                plat_dup2(plat_fileno(elsewhere), 2);
                plat_raise(sig);
            },
            ExitedWithCode(sig), banner ? kBanner : "^$");
        EXPECT_EQ(read_text(saved), "\n"); // the newline that ends the output
    }
}
